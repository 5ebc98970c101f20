#include "playlist/SBMP3PlayList.h"

#include "about/AboutBox.h"
#include "ControlFace.h"
#include "LookupTables.h"
#include "MemberCalls.h"
#include "RaisedError.h"
#include "SharedText.h"
#include "playlist/EntryCollection.h"
#include "playlist/PlayListEntry.h"
#include "playlist/PlayListFile.h"
#include "playlist/PlayListOrder.h"

#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>

#include <cmath>
#include <new>

namespace SonbrelMP3 {

namespace {

const QString kAddEntrySource = QStringLiteral("SonbrelMP3.SBMP3PlayList.AddEntry");
// RemoveEntry's error names no source of its own; it carries the member's
// name in the same form as AddEntry's.
const QString kRemoveEntrySource = QStringLiteral("SonbrelMP3.SBMP3PlayList.RemoveEntry");

}  // namespace

SBMP3PlayList::SBMP3PlayList(QWidget *parent, AudioEngine &engine)
    : QWidget(parent),
      engine_(engine),
      collection_(std::make_unique<EntryCollection>()),
      entries_(*collection_),
      random_(std::make_unique<SystemRandomSource>())
{
    setFixedSize(kControlSize, kControlSize);
}

SBMP3PlayList::~SBMP3PlayList() = default;

bool SBMP3PlayList::event(QEvent *event)
{
    return countMetaCall(metaCallDepth_, event, [this](QEvent *e) { return QWidget::event(e); });
}

template <typename Body>
auto SBMP3PlayList::raising(Body &&body)
{
    return callMember(*this, memberDepth_, sender() != nullptr || metaCallDepth_ > 0, std::forward<Body>(body));
}

std::int32_t SBMP3PlayList::Count() const
{
    return entries_.Count();
}

void SBMP3PlayList::About()
{
    // Modal: returns when the user has closed the box.
    AboutBox box(this);
    box.exec();
}

void SBMP3PlayList::setRandomSource(std::unique_ptr<RandomSource> random)
{
    if (random)
        random_ = std::move(random);
}

bool SBMP3PlayList::AddEntry(const QString &Filename, qint32 BeforeFile, qint32 AfterFile, const QString &Key)
{
    return raising([&] {
        runStep([&] { random_->reseedFromClock(); });
        auto entry = std::make_shared<PlayListEntry>(engine_);
        std::int32_t code = 0;
        runStep([&] { code = entry->SetFileName(Filename); });
        if (code != 0)
            entry->raiseResult(code);
        if (!Key.isEmpty()) {
            entry->SetKey(Key);
            if (!entries_.Add(entry, Key, BeforeFile, AfterFile))
                throw RaisedError(kKeyInUseError, kAddEntrySource,
                                  QStringLiteral("This key is already associated with an element of this collection."));
        } else if (!entries_.Add(entry, {}, BeforeFile, AfterFile)) {
            // A place that does not exist: the entry is not in the list, so its
            // length must not count, and the caller hears of it.
            const qint32 place = BeforeFile > 0 ? BeforeFile : AfterFile;
            throw RaisedError(kNoPlayListEntryError, kAddEntrySource,
                              QStringLiteral("There is no PlayList entry %1.").arg(place));
        }
        std::int16_t length = 0;
        runStep([&] { length = entry->TrackLength(); });
        totalTime_ += length;
        return true;
    });
}

void SBMP3PlayList::Clear()
{
    entries_.clear();
    totalTime_ = 0.0;
}

// Errors of loading and saving that name no source carry the member's name,
// in the same form as AddEntry's.
template <typename Step>
void SBMP3PlayList::withSource(const QString &member, Step &&step)
{
    try {
        step();
    } catch (const RaisedError &error) {
        if (!error.source().isEmpty())
            throw;
        throw RaisedError(error.number(), QStringLiteral("SonbrelMP3.SBMP3PlayList.") + member, error.description());
    } catch (const std::bad_alloc &) {
        // A list too large for the memory there is: an error of the table,
        // never an exception the host does not know.
        throw RaisedError(kOutOfMemoryError, QStringLiteral("SonbrelMP3.SBMP3PlayList.") + member,
                          ErrorText(kOutOfMemoryError));
    }
}

void SBMP3PlayList::LoadPlayList(const QVariant &Filename)
{
    raising([&] {
        const std::optional<QString> name = Filename.isValid() ? std::optional(Filename.toString()) : std::nullopt;
        withSource(QStringLiteral("LoadPlayList"), [&] {
            loadPlayListFile(
                playListFile_, name, [&] { Clear(); }, [&](const QString &path) { AddEntry(path); });
        });
    });
}

void SBMP3PlayList::SavePlayList(const QVariant &Filename)
{
    raising([&] {
        const std::optional<QString> name = Filename.isValid() ? std::optional(Filename.toString()) : std::nullopt;
        withSource(QStringLiteral("SavePlayList"), [&] { savePlayListFile(playListFile_, name, entries_); });
    });
}

void SBMP3PlayList::MovePlayListEntry(qint32 FileToMove, qint32 MoveTo, qint32 TargetFile)
{
    raising([&] {
        // Its one error carries an empty source text on purpose.
        SonbrelMP3::MovePlayListEntry(entries_, FileToMove, MoveTo, TargetFile, *random_);
    });
}

void SBMP3PlayList::Sort(qint32 SortType, qint32 SortOrder)
{
    raising([&] {
        withSource(QStringLiteral("Sort"), [&] { SonbrelMP3::Sort(entries_, SortType, SortOrder, *random_); });
    });
}

void SBMP3PlayList::setFilename(const QString &value)
{
    playListFile_ = value;
    if (site_ != nullptr)
        runStep([&] { site_->propertyChanged(QStringLiteral("FileName")); });
}

SBMP3PlayList::Index SBMP3PlayList::readIndex(const QVariant &index)
{
    Index result;
    const auto type = index.metaType().id();
    if (type == QMetaType::QString || type == QMetaType::QByteArray || type == QMetaType::QChar) {
        result.isKey = true;
        result.key = index.toString();
        result.text = result.key;
        return result;
    }
    bool ok = false;
    const double number = index.toDouble(&ok);
    // Numbers round half to even, as positions always have.
    if (ok && std::isfinite(number) && std::fabs(number) < 2147483647.0)
        result.position = static_cast<int>(platform::roundHalfToEven(number));
    result.text = QString::number(result.position);
    return result;
}

std::shared_ptr<PlayListEntry> SBMP3PlayList::lookUp(const Index &index) const
{
    return index.isKey ? entries_.Item(index.key) : entries_.Item(index.position);
}

std::shared_ptr<PlayListEntry> SBMP3PlayList::entry(const QVariant &index) const
{
    return lookUp(readIndex(index));
}

QObject *SBMP3PlayList::PlayListEntries(const QVariant &Index) const
{
    return entry(Index).get();
}

QVariantList SBMP3PlayList::NewEnum() const
{
    QVariantList list;
    for (const auto &item : entries_.entries())
        list.append(QVariant::fromValue(static_cast<QObject *>(item.get())));
    return list;
}

void SBMP3PlayList::RemoveEntry(const QVariant &Index)
{
    raising([&] {
        const auto index = readIndex(Index);
        const auto found = lookUp(index);
        if (!found)
            throw RaisedError(kNoPlayListEntryError, kRemoveEntrySource,
                              QStringLiteral("There is no PlayList entry ") + index.text + QStringLiteral("."));
        std::int16_t length = 0;
        runStep([&] { length = found->TrackLength(); });
        totalTime_ -= length;
        if (index.isKey)
            entries_.Remove(index.key);
        else
            entries_.Remove(index.position);
        if (totalTime_ < 0.0)
            totalTime_ = 0.0;
    });
}

void SBMP3PlayList::ReadProperties(platform::PropertyBag &bag)
{
    runStep([&] { playListFile_ = bag.ReadProperty(QStringLiteral("FileName"), QString()).toString(); });
}

void SBMP3PlayList::WriteProperties(platform::PropertyBag &bag)
{
    runStep([&] { bag.WriteProperty(QStringLiteral("FileName"), playListFile_, QString()); });
}

const QPixmap &SBMP3PlayList::controlImage()
{
    // "PLAYLIST_CONTROL": the player's dark tile with a numbered list.
    static const QPixmap image = drawControlFace([](QPainter &painter) {
        for (int row = 0; row < 4; ++row) {
            const int y = 6 + row * 6;
            painter.fillRect(QRect(5, y, 3, 3), QColor(255, 205, 80));
            painter.fillRect(QRect(10, y, row % 2 == 0 ? 17 : 13, 3), QColor(90, 220, 120));
        }
    });
    return image;
}

void SBMP3PlayList::paintEvent(QPaintEvent *)
{
    paintControlFace(*this, controlImage());
}

void SBMP3PlayList::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    keepControlSize(*this, event->size());
}

}  // namespace SonbrelMP3

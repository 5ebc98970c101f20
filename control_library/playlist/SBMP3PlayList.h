#pragma once

#include "ContainerSite.h"
#include "HostedControl.h"
#include "PropertyBag.h"

#include <QVariant>
#include <QVariantList>
#include <QWidget>

#include <memory>

namespace SonbrelMP3 {

class AudioEngine;
AudioEngine &processEngine();
class EntryCollection;
class PlayListEntry;
class RandomSource;

// The playlist control: an ordered list of audio files kept in memory,
// with their running total of playing time. Hosts add, remove, move and
// sort entries, and load and save extended M3U playlist files. It shows
// nothing but its 32 x 32 picture and raises no events.
//
// Members go on after a failing inner step and raise only the errors they
// name (RaisedError, numbers in ErrorNumbers.h): AddEntry (the entry's code,
// 457 for a key in use, 30078 for a place that does not exist), RemoveEntry
// (30078), LoadPlayList and SavePlayList (30077, 52, 53, 75, 76),
// MovePlayListEntry and Sort. Called directly or by name they throw;
// delivered by a Qt signal connection they emit Error instead.
class SBMP3PlayList : public QWidget, public platform::HostedControl {
    Q_OBJECT
    Q_INTERFACES(platform::HostedControl)
    Q_CLASSINFO("DefaultMember", "PlayListEntries")
    Q_CLASSINFO("AboutDispatchId", "-552")
    Q_CLASSINFO("Description",
                "SonbrelStudio: SBMP3PlayList Control 3.0 provides a means for a user to programmatically "
                "manage play lists.")
    Q_CLASSINFO("DispatchOrder",
                "About,AddEntry,Clear,Count,Filename,LoadPlayList,SavePlayList,MovePlayListEntry,"
                "PlayListEntries,NewEnum,RemoveEntry,Sort,TotalPlayListTime")
    // A form made in Qt Designer may set Filename; the other properties
    // belong to the list.
    Q_PROPERTY(qint32 Count READ Count DESIGNABLE false)
    Q_PROPERTY(QString Filename READ Filename WRITE setFilename)
    Q_PROPERTY(QVariantList NewEnum READ NewEnum DESIGNABLE false)
    Q_PROPERTY(double TotalPlayListTime READ TotalPlayListTime DESIGNABLE false)

public:
    explicit SBMP3PlayList(QWidget *parent = nullptr, AudioEngine &engine = processEngine());
    ~SBMP3PlayList() override;

    Q_INVOKABLE void About();
    // Adds an entry for the file: before position BeforeFile when it is
    // above 0, else after position AfterFile when that is above 0, else at
    // the end; under Key when it is not empty. Returns true.
    Q_INVOKABLE bool AddEntry(const QString &Filename, qint32 BeforeFile = 0, qint32 AfterFile = 0,
                              const QString &Key = QString());
    Q_INVOKABLE void Clear();
    // Replaces the list with the entries of an extended M3U file; a given
    // Filename is stored first, even when the load then fails.
    Q_INVOKABLE void LoadPlayList(const QVariant &Filename = QVariant());
    // Writes the list to an extended M3U file, beside and then renamed.
    Q_INVOKABLE void SavePlayList(const QVariant &Filename = QVariant());
    // Moves one entry (SonbrelPlayListMovement); TargetFile for the moves
    // before or after another entry.
    Q_INVOKABLE void MovePlayListEntry(qint32 FileToMove, qint32 MoveTo, qint32 TargetFile = 0);
    // Sorts (SonbrelPlayListSortType, SonbrelPlayListSortOrder) or shuffles.
    Q_INVOKABLE void Sort(qint32 SortType, qint32 SortOrder);
    std::int32_t Count() const;
    QString Filename() const { return playListFile_; }
    void setFilename(const QString &value);
    // The entry at a position (a number) or with a key (a text); nullptr
    // when there is none. The pointer stays valid while the list holds it.
    Q_INVOKABLE QObject *PlayListEntries(const QVariant &Index) const;
    std::shared_ptr<PlayListEntry> entry(const QVariant &index) const;
    // The entries in order (the pointers stay valid while the list holds them).
    QVariantList NewEnum() const;
    Q_INVOKABLE void RemoveEntry(const QVariant &Index);
    double TotalPlayListTime() const { return totalTime_; }

    const EntryCollection &entries() const { return entries_; }
    // The generator that keys and shuffles are drawn from; tests give a
    // seeded one. AddEntry reseeds it from the clock.
    void setRandomSource(std::unique_ptr<RandomSource> random);

    // Container events.
    void setContainerSite(platform::ContainerSite *site) override { site_ = site; }
    void InitProperties() override {}
    void ReadProperties(platform::PropertyBag &bag) override;
    void WriteProperties(platform::PropertyBag &bag) override;

    // The image the control shows in its container.
    static const QPixmap &controlImage();

signals:
    // An error of a member that a signal connection delivered, which a
    // direct call would have raised.
    void Error(qint32 Number, const QString &Source, const QString &Description);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // A position (number) or a key (text) as the host gave it.
    struct Index {
        bool isKey = false;
        int position = 0;
        QString key;
        QString text; // as it appears in messages
    };
    static Index readIndex(const QVariant &index);
    std::shared_ptr<PlayListEntry> lookUp(const Index &index) const;
    template <typename Step>
    void withSource(const QString &member, Step &&step);
    template <typename Body>
    auto raising(Body &&body);

    AudioEngine &engine_;
    // The collection lives apart, so that this public header need not
    // include the collection's private one.
    std::unique_ptr<EntryCollection> collection_;
    EntryCollection &entries_;
    std::unique_ptr<RandomSource> random_;
    double totalTime_ = 0.0;
    QString playListFile_;
    platform::ContainerSite *site_ = nullptr;
    int memberDepth_ = 0;
    int metaCallDepth_ = 0;
};

}  // namespace SonbrelMP3

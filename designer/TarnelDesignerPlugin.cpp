#include "TarnelDesignerPlugin.h"

#include <TarnelMP3/SBMP3PlayList.h>
#include <TarnelMP3/SBMP3Player.h>

#include <QtUiPlugin/QDesignerCustomWidgetInterface>

#include <QIcon>

#include <utility>

namespace {

// What Designer shows of one control and how it makes one.
struct ControlDescription {
    QString className;
    QString objectName;  // of a control dropped on a form
    QString header;
    QString toolTip;
    QString whatsThis;
    // The <propertyspecifications> of the form's custom-widget entry.
    QString propertySpecifications;
    const QPixmap &(*picture)();
    QWidget *(*create)(QWidget *parent);
};

class ControlEntry final : public QDesignerCustomWidgetInterface {
public:
    explicit ControlEntry(ControlDescription description) : description_(std::move(description)) {}

    QString name() const override { return description_.className; }
    QString group() const override { return QStringLiteral("TarnelMP3"); }
    QString toolTip() const override { return description_.toolTip; }
    QString whatsThis() const override { return description_.whatsThis; }
    // In angle brackets: a form includes the installed header as
    // #include <TarnelMP3/...>.
    QString includeFile() const override { return QLatin1Char('<') + description_.header + QLatin1Char('>'); }
    QIcon icon() const override { return QIcon(description_.picture()); }
    bool isContainer() const override { return false; }
    QWidget *createWidget(QWidget *parent) override { return description_.create(parent); }
    bool isInitialized() const override { return initialized_; }
    void initialize(QDesignerFormEditorInterface *) override { initialized_ = true; }

    // The control as Designer drops it, and the custom-widget entry that a
    // form holding it carries (the header uic includes for it).
    QString domXml() const override
    {
        return QStringLiteral(R"(<ui language="c++" displayname="%1">
 <widget class="%2" name="%3"/>
 <customwidgets>
  <customwidget>
   <class>%2</class>
   <extends>QWidget</extends>
   <header location="global">%4</header>
   <propertyspecifications>
%5
   </propertyspecifications>
  </customwidget>
 </customwidgets>
</ui>
)")
            .arg(description_.className.section(QStringLiteral("::"), -1), description_.className,
                 description_.objectName, description_.header, description_.propertySpecifications);
    }

private:
    ControlDescription description_;
    bool initialized_ = false;
};

// A file name is no text to translate: uic sets it as it stands.
QString fileNameSpecification()
{
    return QStringLiteral(R"(    <stringpropertyspecification name="Filename" notr="true" type="singleline"/>)");
}

}  // namespace

TarnelDesignerPlugin::TarnelDesignerPlugin(QObject *parent) : QObject(parent)
{
    using SonbrelMP3::SBMP3Player;
    using SonbrelMP3::SBMP3PlayList;
    widgets_.push_back(std::make_unique<ControlEntry>(ControlDescription{
        QStringLiteral("SonbrelMP3::SBMP3Player"),
        QStringLiteral("player"),
        QStringLiteral("TarnelMP3/SBMP3Player.h"),
        QStringLiteral("SBMP3Player: plays, pauses, stops, fades and seeks one MPEG audio file"),
        QStringLiteral("The TarnelMP3 player control. Set Filename to an MPEG audio file and call "
                       "PlayStart; FinishedPlaying reports its end. ChangeInterval (10 to 250 ms) sets "
                       "how often VisualizationUpdate brings new level, wave and spectrum data. The "
                       "control shows a 32 x 32 picture; equalizer() shapes the sound."),
        fileNameSpecification(),
        &SBMP3Player::controlImage,
        [](QWidget *parent) -> QWidget * { return new SBMP3Player(parent); },
    }));
    widgets_.push_back(std::make_unique<ControlEntry>(ControlDescription{
        QStringLiteral("SonbrelMP3::SBMP3PlayList"),
        QStringLiteral("playList"),
        QStringLiteral("TarnelMP3/SBMP3PlayList.h"),
        QStringLiteral("SBMP3PlayList: a list of audio files, kept in extended M3U files, sorted and shuffled"),
        QStringLiteral("The TarnelMP3 playlist control. AddEntry, RemoveEntry, MovePlayListEntry and Sort "
                       "keep the list; Filename names the playlist file that LoadPlayList and "
                       "SavePlayList read and write. The control shows a 32 x 32 picture."),
        fileNameSpecification(),
        &SBMP3PlayList::controlImage,
        [](QWidget *parent) -> QWidget * { return new SBMP3PlayList(parent); },
    }));
}

TarnelDesignerPlugin::~TarnelDesignerPlugin() = default;

QList<QDesignerCustomWidgetInterface *> TarnelDesignerPlugin::customWidgets() const
{
    QList<QDesignerCustomWidgetInterface *> list;
    for (const auto &widget : widgets_)
        list << widget.get();
    return list;
}

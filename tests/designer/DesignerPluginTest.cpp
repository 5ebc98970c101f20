// The Qt Designer plugin, found and loaded the way Designer finds it: in
// "designer" below a Qt plugin folder named by QT_PLUGIN_PATH. The test
// links nothing of the library: what it sees of the controls comes through
// the plugin, which finds libTarnelMP3.so on its own.

#include <gtest/gtest.h>

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiTools/QUiLoader>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMetaProperty>
#include <QIcon>
#include <QPluginLoader>
#include <QWidget>
#include <QXmlStreamReader>

#include <memory>
#include <set>

namespace {

struct ControlCase {
    QString className;
    QString header;
    std::set<QString> formProperties;  // what the form may set
};

const ControlCase kControls[] = {
    {QStringLiteral("SonbrelMP3::SBMP3Player"), QStringLiteral("TarnelMP3/SBMP3Player.h"),
     {QStringLiteral("ChangeInterval"), QStringLiteral("Filename")}},
    {QStringLiteral("SonbrelMP3::SBMP3PlayList"), QStringLiteral("TarnelMP3/SBMP3PlayList.h"),
     {QStringLiteral("Filename")}},
};

// The plugin in `folder` that offers the player control.
QDesignerCustomWidgetCollectionInterface *findCollection(const QDir &folder)
{
    for (const QString &name : folder.entryList(QDir::Files)) {
        QPluginLoader loader(folder.filePath(name));
        auto *collection = qobject_cast<QDesignerCustomWidgetCollectionInterface *>(loader.instance());
        if (collection == nullptr)
            continue;
        for (QDesignerCustomWidgetInterface *widget : collection->customWidgets()) {
            if (widget->name() == kControls[0].className)
                return collection;
        }
    }
    return nullptr;
}

QDesignerCustomWidgetInterface *widgetNamed(QDesignerCustomWidgetCollectionInterface &collection,
                                            const QString &name)
{
    for (QDesignerCustomWidgetInterface *widget : collection.customWidgets()) {
        if (widget->name() == name)
            return widget;
    }
    return nullptr;
}

// The properties of the control's own class that Designer's property
// editor shows, each of a type it can edit (it leaves out a 16-bit
// integer, for one, and a form that sets one loses it when saved).
std::set<QString> designableProperties(const QWidget &widget)
{
    const std::set<int> editable = {QMetaType::Bool, QMetaType::Int, QMetaType::UInt, QMetaType::Double,
                                    QMetaType::QString};
    std::set<QString> names;
    const QMetaObject &meta = *widget.metaObject();
    for (int i = QWidget::staticMetaObject.propertyCount(); i < meta.propertyCount(); ++i) {
        const QMetaProperty property = meta.property(i);
        if (!property.isDesignable())
            continue;
        EXPECT_TRUE(editable.count(property.metaType().id()) == 1) << property.name() << " cannot be edited";
        names.insert(QString::fromLatin1(property.name()));
    }
    return names;
}

// What a form that holds the control carries: the widget's class, its
// custom-widget entry's class and header, and the file-name property
// marked as not to be translated.
struct DomXml {
    QString widgetClass;
    QString entryClass;
    QString header;
    QString headerLocation;
    bool fileNameUntranslated = false;
};

DomXml readDomXml(const QString &xml)
{
    DomXml dom;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto name = reader.name();
        const QXmlStreamAttributes attributes = reader.attributes();
        if (name == QLatin1String("widget") && dom.widgetClass.isEmpty())
            dom.widgetClass = attributes.value(QLatin1String("class")).toString();
        else if (name == QLatin1String("class"))
            dom.entryClass = reader.readElementText();
        else if (name == QLatin1String("header")) {
            dom.headerLocation = attributes.value(QLatin1String("location")).toString();
            dom.header = reader.readElementText();
        } else if (name == QLatin1String("stringpropertyspecification")
                   && attributes.value(QLatin1String("name")) == QLatin1String("Filename"))
            dom.fileNameUntranslated = attributes.value(QLatin1String("notr")) == QLatin1String("true");
    }
    EXPECT_FALSE(reader.hasError()) << qPrintable(reader.errorString());
    return dom;
}

TEST(DesignerPlugin, ListsBothControlsInTheTarnelMP3GroupAndMakesThem)
{
    // Designer looks in "designer" below each of Qt's plugin folders, and
    // those of QT_PLUGIN_PATH are among them.
    const QString pluginPath = QDir(qEnvironmentVariable("QT_PLUGIN_PATH")).canonicalPath();
    ASSERT_TRUE(QCoreApplication::libraryPaths().contains(pluginPath)) << qPrintable(pluginPath);
    QDesignerCustomWidgetCollectionInterface *collection =
        findCollection(QDir(pluginPath + QStringLiteral("/designer")));
    ASSERT_NE(collection, nullptr) << "no Designer plugin with the controls in " << qPrintable(pluginPath);

    for (const ControlCase &control : kControls) {
        SCOPED_TRACE(qPrintable(control.className));
        QDesignerCustomWidgetInterface *widget = widgetNamed(*collection, control.className);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->group(), QStringLiteral("TarnelMP3"));
        EXPECT_EQ(widget->includeFile(), QLatin1Char('<') + control.header + QLatin1Char('>'));
        EXPECT_FALSE(widget->icon().isNull());
        EXPECT_FALSE(widget->toolTip().isEmpty());
        EXPECT_FALSE(widget->whatsThis().isEmpty());
        EXPECT_FALSE(widget->isContainer());

        QWidget form;
        QWidget *made = widget->createWidget(&form);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(QString::fromLatin1(made->metaObject()->className()), control.className);
        EXPECT_EQ(made->parentWidget(), &form);
        EXPECT_EQ(designableProperties(*made), control.formProperties);

        const DomXml dom = readDomXml(widget->domXml());
        EXPECT_EQ(dom.widgetClass, control.className);
        EXPECT_EQ(dom.entryClass, control.className);
        EXPECT_EQ(dom.header, control.header);
        EXPECT_EQ(dom.headerLocation, QStringLiteral("global"));
        EXPECT_TRUE(dom.fileNameUntranslated);
    }
}

TEST(DesignerPlugin, TheExamplePlayersFormLoadsWithTheRealControls)
{
    QUiLoader loader;
    const QStringList available = loader.availableWidgets();
    for (const ControlCase &control : kControls)
        EXPECT_TRUE(available.contains(control.className)) << qPrintable(control.className);

    QFile form(QStringLiteral(PLAYER_FORM));
    ASSERT_TRUE(form.open(QIODevice::ReadOnly));
    const std::unique_ptr<QWidget> window(loader.load(&form));
    ASSERT_TRUE(window) << qPrintable(loader.errorString());
    auto *player = window->findChild<QWidget *>(QStringLiteral("player"));
    auto *playList = window->findChild<QWidget *>(QStringLiteral("playList"));
    ASSERT_TRUE(player != nullptr && playList != nullptr);
    EXPECT_EQ(QString::fromLatin1(player->metaObject()->className()), kControls[0].className);
    EXPECT_EQ(QString::fromLatin1(playList->metaObject()->className()), kControls[1].className);
    EXPECT_EQ(player->property("ChangeInterval").toInt(), 50) << "the form sets the status interval";
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The build tree's plugin folder, unless the caller names another
    // (the installed package's test does).
    if (qEnvironmentVariableIsEmpty("QT_PLUGIN_PATH"))
        qputenv("QT_PLUGIN_PATH", BUILD_PLUGIN_PATH);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

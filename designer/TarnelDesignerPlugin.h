#pragma once

#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>

#include <QObject>

#include <memory>
#include <vector>

// The Qt Designer plugin of the TarnelMP3 library: puts the player control
// and the playlist control into Designer's widget box (and Qt Creator's
// form editor) under "TarnelMP3", with their pictures, tool tips and the
// properties a form may set. A form that holds them is compiled by uic like
// any other; the program links libTarnelMP3.so.
class TarnelDesignerPlugin : public QObject, public QDesignerCustomWidgetCollectionInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
    explicit TarnelDesignerPlugin(QObject *parent = nullptr);
    ~TarnelDesignerPlugin() override;

    QList<QDesignerCustomWidgetInterface *> customWidgets() const override;

private:
    std::vector<std::unique_ptr<QDesignerCustomWidgetInterface>> widgets_;
};

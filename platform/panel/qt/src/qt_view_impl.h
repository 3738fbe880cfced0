// The Qt view: one widget per control of the model, kept in step with it. Widgets are
// written only under signal blockers, so a value the program sets never comes back as
// operator input; operator input goes only through the model's operator* entry points.
#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QFont>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QTranslator>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "panel/model.h"
#include "panel/view.h"
#include "widgets.h"

namespace trl4::panelqt {

class QtView final : public QObject, public panel::View {
    Q_OBJECT
  public:
    // `ownedApp` is the application the view created (null when the program made its own).
    QtView(panel::Model &model, std::unique_ptr<QApplication> ownedApp);
    ~QtView() override;

    const char *name() const override { return "qt"; }
    bool interactive() const override { return true; }
    void pump() override;
    void waitAndPump(std::chrono::milliseconds bound) override;
    void panelChanged(int panel, panel::PanelChange change) override;
    void controlChanged(int panel, int control, panel::ControlChange change) override;
    void popupChanged(int panel, bool installed) override;
    void showMessage(const std::string &title, const std::string &text) override;
    int selectFile(const panel::FileRequest &request, std::string &path) override;
    bool shot(int panel, const std::string &file, std::string &error) override;
    panel::ScreenSize screen() const override;

    // Looking at what the view drew (tests, screenshots). Null when not drawn: a panel's
    // widgets are built when it is first shown (or photographed).
    PanelSurface *surface(int panel) const;
    QWidget *body(int panel, int control) const;
    QLabel *label(int panel, int control) const;

    // Where picture controls find their files when the model names them relatively.
    void setPictureFolder(const QString &folder) { pictureFolder_ = folder; }

  private:
    struct ControlWidgets {
        panel::Kind kind = panel::Kind::Button;
        QPointer<QWidget> body;
        QPointer<QLabel> label;
        std::vector<std::string> shownLines;  // text box: what the widget holds
        std::string shownImage;               // picture: the file last asked for
    };
    struct PanelWidgets {
        QPointer<PanelSurface> surface;
        std::map<int, ControlWidgets> controls;
        bool filled = false;  // controls built
        bool placed = false;
        panel::Geometry placedAt;  // the model's geometry last applied to the window
    };

    void handleEvents(QEventLoop::ProcessEventsFlags flags);
    // The panels' face of a family (Cyrillic, 12 pixels).
    const QFont &font(const std::string &family);
    // The top-level panel a panel or page lies in.
    int topLevel(int handle) const;
    bool built(int handle) const;
    // Whether the model asks for the panel's widgets: built already, or its window shown.
    bool wanted(int handle) const;
    PanelWidgets *ensurePanel(int handle);
    // Builds the controls of a panel whose window or page was built empty.
    void fillPanel(int handle);
    void fillPage(const panel::Control &tab);  // the page the tab shows
    // Every top-level panel but the main window is a window owned by it, above it.
    void ownWindow(int handle, const panel::Panel &model, PanelSurface &surface);
    void applySize(const panel::Panel &model, PanelSurface &surface);
    void pressDefault(int handle);
    void buildControl(int panel, PanelWidgets &widgets, const panel::Control &control);
    void connectOperator(int panel, const panel::Control &control, QWidget *body);
    void syncPanel(int handle);
    void syncControl(int panel, int control);
    void syncLook(const panel::Panel &owner, const panel::Control &control, ControlWidgets &w);
    void syncValue(const panel::Control &control, ControlWidgets &w);
    void syncItems(const panel::Control &control, ControlWidgets &w);
    void syncLines(const panel::Control &control, ControlWidgets &w);
    void syncPages(int panel, const panel::Control &control, ControlWidgets &w);
    void placeLabel(const panel::Control &control, QLabel &label);
    void dropPanel(int handle);
    QString picturePath(const std::string &image) const;
    // After operator input the widget shows the model again, accepted or not.
    void afterInput(int panel, int control, panel::Input result);

    panel::Model &model_;
    std::unique_ptr<QApplication> app_;
    std::map<int, PanelWidgets> panels_;
    // Surfaces of discarded panels waiting for deletion; deleted with the view at the latest.
    std::vector<QPointer<QWidget>> doomed_;
    QString pictureFolder_;
    std::map<std::string, QFont> fonts_;
    // The first top-level panel shown: the program's main window.
    int mainPanel_ = 0;
    QTimer wake_;  // bounds an idle wait
    std::unique_ptr<QTranslator> translator_;
};

}  // namespace trl4::panelqt

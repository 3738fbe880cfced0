// The Qt view: the widgets of the window view's core. Widgets are written only under signal
// blockers, so a value the program sets never comes back as operator input; operator input
// goes to the core's input* entry points, and through them to the model.
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
#include "panel/window_view.h"
#include "widgets.h"

namespace trl4::panelqt {

class QtView final : public QObject, public panel::WindowView {
    Q_OBJECT
  public:
    // `ownedApp` is the application the view created (null when the program made its own).
    QtView(panel::Model &model, std::unique_ptr<QApplication> ownedApp);
    ~QtView() override;

    const char *name() const override { return "qt"; }
    bool interactive() const override { return true; }
    void pump() override;
    void waitAndPump(std::chrono::milliseconds bound) override;
    void showMessage(const std::string &title, const std::string &text) override;
    int selectFile(const panel::FileRequest &request, std::string &path) override;
    panel::ScreenSize screen() const override;

    // Looking at what the view drew (tests, screenshots). Null when not drawn: a panel's
    // widgets are built when it is first shown (or photographed).
    PanelSurface *surface(int panel) const;
    QWidget *body(int panel, int control) const;
    QLabel *label(int panel, int control) const;

    // Where picture controls find their files when the model names them relatively.
    void setPictureFolder(const QString &folder) { setPictures(folder.toStdString()); }

  private:
    struct ControlWidgets {
        QPointer<QWidget> body;
        QPointer<QLabel> label;
        std::string shownImage;  // picture: the file last asked for
    };
    struct PanelWidgets {
        QPointer<PanelSurface> surface;
        std::map<int, ControlWidgets> controls;
    };

    bool createPanel(int handle, const panel::Panel &model) override;
    bool createControl(int panel, const panel::Control &control) override;
    void destroyControl(int panel, int control) override;
    void dropWindows(int handle, const std::vector<int> &gone) override;
    void ownerGone(int handle) override;
    void paintPanel(int handle, const panel::Panel &model) override;
    void placeInner(int handle, const panel::Panel &model) override;
    void placeWindow(int handle, const panel::Panel &model,
                     const panel::WindowPlacement &place) override;
    void showWindow(int handle, const panel::Panel &model) override;
    void showLook(const panel::Panel &owner, const panel::Control &control) override;
    void showItems(int panel, const panel::Control &control) override;
    void showValue(int panel, const panel::Control &control, const std::string &text) override;
    void showLines(int panel, const panel::Control &control, std::size_t kept) override;
    void showPages(int panel, const panel::Control &tab, const std::vector<int> &pages) override;
    void frontPage(int panel, const panel::Control &tab, const std::vector<int> &pages,
                   bool hasFront) override;
    void refuseInput(int panel, int control, const std::string &reason) override;
    void beep() override;
    bool picture(int panel, const std::filesystem::path &file, std::string &error) override;

    void handleEvents(QEventLoop::ProcessEventsFlags flags);
    // The panels' face of a family (Cyrillic, 12 pixels).
    const QFont &font(const std::string &family);
    ControlWidgets *widgets(int panel, int control);
    // Every top-level panel but the main window is a window owned by it, above it.
    void ownWindow(int owner, const panel::Panel &model, PanelSurface &surface);
    void connectOperator(int panel, const panel::Control &control, QWidget *body);

    std::unique_ptr<QApplication> app_;
    std::map<int, PanelWidgets> panels_;
    // Surfaces of discarded panels waiting for deletion; deleted with the view at the latest.
    std::vector<QPointer<QWidget>> doomed_;
    std::map<std::string, QFont> fonts_;
    QTimer wake_;  // bounds an idle wait
    std::unique_ptr<QTranslator> translator_;
};

}  // namespace trl4::panelqt

#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

class QAction;
class QMenu;

// The notification-area icon with its menu: tells a single click (after the double-click time) from a double
// click, shows the running or paused look (and offers pausing or going on in its menu), and shows itself once a
// notification area appears.
class Tray : public QObject
{
    Q_OBJECT

public:
    explicit Tray(QObject *parent = nullptr);
    ~Tray() override;

    // The running look (icon and tool tip) or the paused one.
    void setRunning(bool on);
    // What keeps the program from doing its work, each a tool-tip line of its own while it lasts.
    enum class Problem { Store, Scan, Push };
    // The tool-tip line naming what is wrong with which (empty: nothing).
    void setProblem(Problem which, const QString &problem);
    // How many followed nodes are failing or broken: a tool-tip line and a warning mark on the icon while any are.
    void setNodeTrouble(int count);
    // A balloon; its texts are plain text, never markup, whatever shows them.
    void showMessage(const QString &title, const QString &text);
    // Shows the icon as soon as a notification area exists; until then checks every few seconds.
    void watchForArea();
    QSystemTrayIcon *icon() const { return trayIcon; }

signals:
    // A balloon was shown (or would have been, where the desktop shows none), with its texts as handed to the desktop.
    void messageShown(const QString &title, const QString &text);
    // A single click, or the menu's pause/continue entry: the scan stops or goes on.
    void clicked();
    void doubleClicked();
    void openMainWindow();
    void openHistoryWindow();
    void openConfigWindow();
    void openAlertWindow();
    void openAddSiteWindow();
    void openAboutWindow();
    void quit();
    void menuHidden();

public slots:
    void onActivated(QSystemTrayIcon::ActivationReason reason);

private:
    void onAreaWatch();

    QMenu *menu;
    QSystemTrayIcon *trayIcon;
    QAction *pauseAction;
    QTimer clickTimer;              // runs from a first click for the double-click time
    QElapsedTimer doubleClickTaken; // since two Triggers made a double click
    QTimer areaWatch;
    bool running = true;
    QMap<Problem, QString> problems;
    int troubledNodes = 0;
};

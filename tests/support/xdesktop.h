#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

#include <vector>

struct xcb_connection_t;

// An X server of the test's own (Xvfb), named in DISPLAY while it lives, where the test plays the window manager's
// part: one window, which it makes the active one and gives window states.
class XDesktop
{
public:
    XDesktop();
    ~XDesktop();
    bool isRunning() const { return m_connection != nullptr; }
    // Makes the window the active one (or none), and waits until the server has it.
    void setActive(bool active);
    // Gives the window these _NET_WM_STATE atoms, e.g. "_NET_WM_STATE_FULLSCREEN", and waits until the server has them.
    void setStates(const QList<QByteArray> &states);

private:
    unsigned atom(const char *name) const;
    void setProperty(unsigned window, const char *name, unsigned type, const std::vector<unsigned> &values);

    QProcess m_server;
    QByteArray m_oldDisplay;
    xcb_connection_t *m_connection = nullptr;
    unsigned m_root = 0;
    unsigned m_window = 0;
};

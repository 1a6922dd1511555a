#include "support/xdesktop.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

XDesktop::XDesktop() : m_oldDisplay(qgetenv("DISPLAY"))
{
    m_server.start(QStringLiteral("Xvfb"),
                   {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                    QStringLiteral("320x240x24")});
    if (!m_server.waitForReadyRead(20000))
        return;
    const QByteArray display = ':' + m_server.readLine().trimmed();
    qputenv("DISPLAY", display);
    xcb_connection_t *connection = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
    m_root = screen->root;
    m_window = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_root, 0, 0, 100, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
}

XDesktop::~XDesktop()
{
    if (m_connection)
        xcb_disconnect(m_connection);
    m_server.kill();
    m_server.waitForFinished();
    m_oldDisplay.isNull() ? qunsetenv("DISPLAY") : qputenv("DISPLAY", m_oldDisplay);
}

unsigned XDesktop::atom(const char *name) const
{
    const auto cookie = xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&free)> reply(
        xcb_intern_atom_reply(m_connection, cookie, nullptr), &free);
    return reply ? reply->atom : unsigned(XCB_ATOM_NONE);
}

void XDesktop::setProperty(unsigned window, const char *name, unsigned type, const std::vector<unsigned> &values)
{
    if (!m_connection)
        return;
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, atom(name), type, 32, uint32_t(values.size()),
                        values.data());
    // A round trip: once it is answered, the change is made.
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

void XDesktop::setActive(bool active)
{
    setProperty(m_root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {active ? m_window : unsigned(XCB_WINDOW_NONE)});
}

void XDesktop::setStates(const QList<QByteArray> &states)
{
    std::vector<unsigned> atoms;
    for (const QByteArray &state : states)
        atoms.push_back(atom(state.constData()));
    setProperty(m_window, "_NET_WM_STATE", XCB_ATOM_ATOM, atoms);
}

#include "tests/platform/x11/XvfbServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <unistd.h>

XvfbServer::~XvfbServer()
{
    kill();
}

void XvfbServer::kill()
{
    if (m_process) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
        m_process.reset();
    }
}

bool XvfbServer::start(QSize size, const QStringList &extraArgs, bool ownIpcNamespace)
{
    // Display numbers spread by process id so that parallel tests rarely try the same one; the
    // X socket folder is shared with the host, so a taken number is skipped or fails and the next
    // is tried.
    int n = 400 + int((getpid() * 7) % 500);
    for (int attempt = 0; attempt < 40; ++attempt, ++n) {
        if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) ||
            QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            continue;
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->setStandardOutputFile(QProcess::nullDevice());
        QStringList args{
            QStringLiteral(":%1").arg(n), QStringLiteral("-screen"),
            QStringLiteral("0"),          QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
            QStringLiteral("-noreset"),   QStringLiteral("-nolisten"),
            QStringLiteral("tcp")};
        args += extraArgs;
        if (ownIpcNamespace)
            p->start(QStringLiteral("unshare"),
                     QStringList{QStringLiteral("--ipc"), QStringLiteral("Xvfb")} + args);
        else
            p->start(QStringLiteral("Xvfb"), args);
        if (!p->waitForStarted(5000))
            return false;
        const QByteArray display = ":" + QByteArray::number(n);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000 && p->state() == QProcess::Running) {
            xcb_connection_t *c = xcb_connect(display.constData(), nullptr);
            const bool ok = !xcb_connection_has_error(c);
            xcb_disconnect(c);
            if (ok) {
                m_process = std::move(p);
                m_display = display;
                return true;
            }
            QThread::msleep(20);
        }
        p->kill();
        p->waitForFinished(5000);
    }
    return false;
}

bool XvfbServer::resize(QSize size)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("xrandr"),
            {QStringLiteral("--fb"), QStringLiteral("%1x%2").arg(size.width()).arg(size.height())});
    p.waitForFinished(20000);
    // xrandr reports an error for the output's mode but the screen size changes all the same.
    XTestClient c;
    return c.open(m_display) && c.rootSize() == size;
}

XTestClient::~XTestClient()
{
    if (m_conn)
        xcb_disconnect(m_conn);
}

bool XTestClient::open(const QByteArray &display)
{
    m_conn = xcb_connect(display.constData(), nullptr);
    if (xcb_connection_has_error(m_conn))
        return false;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
    return true;
}

QSize XTestClient::rootSize()
{
    xcb_get_geometry_reply_t *g = xcb_get_geometry_reply(m_conn, xcb_get_geometry(m_conn, m_root), nullptr);
    if (!g)
        return QSize();
    const QSize s(g->width, g->height);
    free(g);
    return s;
}

void XTestClient::showPattern(uint32_t background, const QVector<QPair<QRect, uint32_t>> &rects)
{
    const QSize size = rootSize();
    if (m_window) {
        xcb_destroy_window(m_conn, m_window);
        xcb_free_pixmap(m_conn, m_pixmap);
    }
    xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data;
    m_pixmap = xcb_generate_id(m_conn);
    xcb_create_pixmap(m_conn, screen->root_depth, m_pixmap, m_root, uint16_t(size.width()),
                      uint16_t(size.height()));
    const xcb_gcontext_t gc = xcb_generate_id(m_conn);
    uint32_t fg = background;
    xcb_create_gc(m_conn, gc, m_pixmap, XCB_GC_FOREGROUND, &fg);
    xcb_rectangle_t all{0, 0, uint16_t(size.width()), uint16_t(size.height())};
    xcb_poly_fill_rectangle(m_conn, m_pixmap, gc, 1, &all);
    for (const auto &r : rects) {
        xcb_change_gc(m_conn, gc, XCB_GC_FOREGROUND, &r.second);
        xcb_rectangle_t xr{int16_t(r.first.x()), int16_t(r.first.y()), uint16_t(r.first.width()),
                           uint16_t(r.first.height())};
        xcb_poly_fill_rectangle(m_conn, m_pixmap, gc, 1, &xr);
    }
    xcb_free_gc(m_conn, gc);
    m_window = xcb_generate_id(m_conn);
    const uint32_t values[] = {m_pixmap, 1};
    xcb_create_window(m_conn, XCB_COPY_FROM_PARENT, m_window, m_root, 0, 0, uint16_t(size.width()),
                      uint16_t(size.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(m_conn, m_window);
    free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr)); // round trip
}

void XTestClient::movePointer(int x, int y)
{
    xcb_test_fake_input(m_conn, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, m_root, int16_t(x), int16_t(y), 0);
    free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr));
}

QPoint XTestClient::pointer()
{
    xcb_query_pointer_reply_t *r =
        xcb_query_pointer_reply(m_conn, xcb_query_pointer(m_conn, m_root), nullptr);
    if (!r)
        return QPoint(-1, -1);
    const QPoint p(r->root_x, r->root_y);
    free(r);
    return p;
}

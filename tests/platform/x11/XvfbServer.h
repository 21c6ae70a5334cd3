#pragma once

#include <QByteArray>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <memory>

struct xcb_connection_t;

/// A private Xvfb for one test, on a free display number, stopped by the destructor.
class XvfbServer
{
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer &) = delete;
    XvfbServer &operator=(const XvfbServer &) = delete;

    /// Starts "Xvfb :N -screen 0 WxHx24 -noreset -nolisten tcp <extraArgs>" and waits until it
    /// accepts connections. False when no server came up within 20 s.
    /// With ownIpcNamespace the server runs in an IPC namespace of its own (through "unshare
    /// --ipc"), where this process's shared segments do not exist.
    bool start(QSize size, const QStringList &extraArgs = {}, bool ownIpcNamespace = false);
    void kill();
    QByteArray display() const { return m_display; }
    /// Runs "xrandr --fb WxH" on the server (Xvfb can shrink up to its start size). True when the
    /// root then has that size.
    bool resize(QSize size);

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_display;
};

/// One X client for test set-up: shows a picture over the whole screen and moves the pointer.
class XTestClient
{
public:
    XTestClient() = default;
    ~XTestClient();
    bool open(const QByteArray &display);
    QSize rootSize();
    /// Shows a full-screen override-redirect window whose background is `background` with the given
    /// rectangles filled (0xRRGGBB). The server repaints it by itself. Replaces an earlier one.
    void showPattern(uint32_t background, const QVector<QPair<QRect, uint32_t>> &rects);
    /// Absolute pointer move through XTest; waits until the server has processed it.
    void movePointer(int x, int y);
    QPoint pointer();

private:
    xcb_connection_t *m_conn = nullptr;
    uint32_t m_root = 0;
    uint32_t m_window = 0;
    uint32_t m_pixmap = 0;
};

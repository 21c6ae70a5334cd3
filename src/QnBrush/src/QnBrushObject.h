#pragma once

#include <QByteArray>
#include <QColor>
#include <QObject>
#include <QPointer>

#include <chrono>

class DeVizCore;
class QnGraphicsView;
class QnRemoteAdaptor;
class QnRemoteCore;

/// The whiteboard overlay as the desktop-sync window sees it: a translucent always-on-top board view,
/// the pen engine drawing on it, the scene hooks and the adaptor, whose serialised batches come out
/// of sendData on the GUI thread for the caller to send as whiteboard data (control channel 2).
///
/// Modes: select (after construction and setSelectMode: stylus 3, fully transparent background) and
/// pen (after setPen: stylus 0, background black at alpha 10 so that the view takes the mouse).
///
/// Ownership: the view is made without a parent and may be re-parented by the caller; it is held
/// through a guarded pointer, so a view destroyed with its new parent first is simply skipped. The
/// pen engine is a child of the view's scene. The hooks and the adaptor are children of this object.
/// GUI thread only.
class QnBrushObject : public QObject
{
    Q_OBJECT
public:
    explicit QnBrushObject(QObject *parent = nullptr);
    /// For tests: the adaptor's batching period.
    QnBrushObject(QObject *parent, std::chrono::milliseconds period);
    ~QnBrushObject() override;

    /// The board view (null once destroyed by its new parent).
    QnGraphicsView *view() const;

    void setPen(const QColor &color, int width);
    void setSelectMode();
    void resetSceneState();
    void clearUndo();
    void undo();
    void redo();
    void setViewSize(int vwidth, int vheight);

    DeVizCore *penEngine() const;
    QnRemoteCore *hooks() const { return m_hooks; }
    QnRemoteAdaptor *adaptor() const { return m_adaptor; }

Q_SIGNALS:
    /// One serialised qnboard::Actions, on the GUI thread.
    void sendData(QByteArray data);

public Q_SLOTS:
    /// Applies a received Actions batch to this board (nothing connects it in this program).
    void receiveData(QByteArray data);

private:
    void build(std::chrono::milliseconds period);
    void teardown();

    QPointer<QnGraphicsView> m_view;
    QPointer<DeVizCore> m_pen;
    QnRemoteCore *m_hooks = nullptr;
    QnRemoteAdaptor *m_adaptor = nullptr;
    bool m_incoming = false;
};

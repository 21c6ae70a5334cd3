#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QtTest>

// Tests registered without OPENGL run with the GL integration off; this one needs it.
class TestOpenGlEnv : public QObject
{
    Q_OBJECT
private slots:
    void integrationFollowsTheTestKind();
    void contextRendersOnXvfb();
};

void TestOpenGlEnv::integrationFollowsTheTestKind()
{
    QCOMPARE(qgetenv("QT_QPA_PLATFORM"), QByteArray("xcb"));
    QVERIFY(!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"));
    QVERIFY(qgetenv("LSAN_OPTIONS").contains("lsan-opengl.supp"));
}

void TestOpenGlEnv::contextRendersOnXvfb()
{
    QOpenGLContext context;
    QVERIFY(context.create());
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    QVERIFY(surface.isValid());
    QVERIFY(context.makeCurrent(&surface));
    QOpenGLFunctions *gl = context.functions();
    const auto *renderer = reinterpret_cast<const char *>(gl->glGetString(GL_RENDERER));
    QVERIFY(renderer && *renderer);
    gl->glClearColor(0, 1, 0, 1);
    gl->glClear(GL_COLOR_BUFFER_BIT);
    QCOMPARE(int(gl->glGetError()), GL_NO_ERROR);
    context.doneCurrent();
}

QTEST_MAIN(TestOpenGlEnv)
#include "tst_openglenv.moc"

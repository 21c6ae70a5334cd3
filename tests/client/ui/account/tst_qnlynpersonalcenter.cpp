// The personal centre page and the head button: user record display, the name change through its
// modal dialog, the head picture change (size limit, crop, save, upload, modify) with the order of
// its signals, and the signals the main sender window relies on.
#include "tests/client/ui/account/AccountTestEnv.h"

#include "client/ui/account/QnHeadImageFile.h"
#include "client/ui/account/QnLynHeadButton.h"
#include "client/ui/account/QnLynModifyNameDialog.h"
#include "client/ui/account/QnLynPersonalCenterWidget.h"

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {
const QString kPhone = QStringLiteral("13800000001");
const QString kPassword = QStringLiteral("secret-pw");
} // namespace

class TestPersonalCenter : public QObject
{
    Q_OBJECT

private:
    QnCloudFixture m_cloud;
    QTemporaryDir m_dir;
    LoginUserInfo m_info;
    QStringList m_events;

    template<typename T> static T *child(QWidget *page, const char *name)
    {
        T *w = page->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    QString pictureFile(const QString &name, const QColor &colour)
    {
        QImage image(64, 48, QImage::Format_ARGB32);
        image.fill(colour);
        const QString path = m_dir.filePath(name);
        image.save(path);
        return path;
    }
    QnLynPersonalCenterWidget *makePage(const QString &file, const QnHeadCropStep &crop)
    {
        auto *page = new QnLynPersonalCenterWidget;
        page->setImageChooser([file](QWidget *) { return file; });
        page->setCropStep(crop);
        page->setUserInfo(m_info);
        m_events.clear();
        connect(page, &QnLynPersonalCenterWidget::beginModify, this,
                [this] { m_events << QStringLiteral("begin"); });
        connect(page, &QnLynPersonalCenterWidget::endModify, this,
                [this] { m_events << QStringLiteral("end"); });
        connect(page, &QnLynPersonalCenterWidget::headModifySuccess, this,
                [this](const QString &) { m_events << QStringLiteral("head"); });
        connect(page, &QnLynPersonalCenterWidget::nameModifySuccess, this,
                [this](const QString &) { m_events << QStringLiteral("name"); });
        page->show();
        return page;
    }
    static QnHeadCropStep cropTo(const QImage &image, bool accepted = true)
    {
        return [image, accepted](QWidget *, const QString &) {
            QnHeadCropResult r;
            r.accepted = accepted;
            r.image = image;
            return r;
        };
    }
    static QImage square(const QColor &colour)
    {
        QImage image(40, 40, QImage::Format_ARGB32);
        image.fill(colour);
        return image;
    }

private slots:
    void initTestCase()
    {
        AccountTestEnv::initProgram();
        QVERIFY(m_cloud.listen());
        AccountTestEnv::useFixture(m_cloud);
        const QnCloudFixture::Account account =
            m_cloud.addAccount(kPhone, kPassword, QStringLiteral("Teacher Li"));
        QString token;
        QnLynInterNetWorkManager::instance()->httpPost(
            QLatin1String(QnCloudRoute::kLogin),
            QJsonObject{{QStringLiteral("username"), kPhone}, {QStringLiteral("password"), kPassword}},
            [&token](HttpResultInfo &r) {
                token = r.replyObject.value(QStringLiteral("data"))
                            .toObject()
                            .value(QStringLiteral("token"))
                            .toString();
            });
        QTRY_VERIFY_WITH_TIMEOUT(!token.isEmpty(), 5000);
        m_info =
            LoginUserInfo{kPhone, QStringLiteral("Teacher Li"), QString(), token, kPassword, account.uuid};
    }
    void init()
    {
        AccountTestEnv::closeToasts();
        m_cloud.clearScripts();
        m_cloud.clearRequests();
    }

    void userRecordAndHiddenRows()
    {
        std::unique_ptr<QnLynPersonalCenterWidget> page(makePage(QString(), {}));
        QCOMPARE(child<QPushButton>(page.get(), "nameBtn")->text(), QStringLiteral("Teacher Li"));
        QCOMPARE(child<QPushButton>(page.get(), "numBtn")->text(), kPhone);
        LoginUserInfo noName = m_info;
        noName.name.clear();
        page->setUserInfo(noName);
        QCOMPARE(child<QPushButton>(page.get(), "nameBtn")->text(), kPhone);
        page->setUserInfo(LoginUserInfo());
        QVERIFY(child<QPushButton>(page.get(), "nameBtn")->text().isEmpty());
        QVERIFY(child<QPushButton>(page.get(), "numBtn")->text().isEmpty());
        for (const char *hidden : {"label_6", "numBtn", "numBtn1", "label_7", "label_8", "modifypasswordBtn1",
                                   "modifypasswordBtn", "label_9"})
            QVERIFY2(!child<QWidget>(page.get(), hidden)->isVisible(), hidden);
        QVERIFY(child<QWidget>(page.get(), "nameBtn")->isVisible());
    }

    void backHome()
    {
        std::unique_ptr<QnLynPersonalCenterWidget> page(makePage(QString(), {}));
        QSignalSpy home(page.get(), &QnLynPersonalCenterWidget::backHome);
        QTest::mouseClick(child<QWidget>(page.get(), "homeBtn1"), Qt::LeftButton);
        QTest::mouseClick(child<QWidget>(page.get(), "homeBtn2"), Qt::LeftButton);
        QCOMPARE(home.count(), 2);
    }

    void setHeadPath()
    {
        std::unique_ptr<QnLynPersonalCenterWidget> page(makePage(QString(), {}));
        const QString file = pictureFile(QStringLiteral("head.png"), Qt::red);
        page->setHeadPath(file);
        QCOMPARE(page->headPath(), file);
        auto *head = child<QnLynHeadButton>(page.get(), "headBtn");
        QVERIFY(head->hasHeadImage());
        QCOMPARE(head->headWidth(), head->width());
    }

    void nameChange_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("done") << true;
        QTest::newRow("closed") << false;
    }
    void nameChange()
    {
        QFETCH(bool, accept);
        std::unique_ptr<QnLynPersonalCenterWidget> page(makePage(QString(), {}));
        QSignalSpy named(page.get(), &QnLynPersonalCenterWidget::nameModifySuccess);
        QTimer::singleShot(50, this, [accept] {
            auto *dialog = qobject_cast<QnLynModifyNameDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                qFatal("no name dialog");
            auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("lineEdit"));
            QCOMPARE(edit->text(), QStringLiteral("Teacher Li"));
            edit->clear();
            QTest::keyClicks(edit, QStringLiteral("Wang Laoshi"));
            QTest::mouseClick(dialog->findChild<QWidget *>(accept ? QStringLiteral("closeBtn")
                                                                  : QStringLiteral("cancelBtn")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(child<QWidget>(page.get(), "nameBtn1"), Qt::LeftButton);
        QCOMPARE(m_events, (QStringList{QStringLiteral("begin"), QStringLiteral("end")}));
        if (!accept) {
            QTest::qWait(100);
            QCOMPARE(m_cloud.requestCount(QnCloudRoute::kModifyUser), 0);
            return;
        }
        QVERIFY(named.wait(5000));
        QCOMPARE(named.first().at(0).toString(), QStringLiteral("Wang Laoshi"));
        QCOMPARE(child<QPushButton>(page.get(), "nameBtn")->text(), QStringLiteral("Wang Laoshi"));
        QCOMPARE(m_cloud.account(kPhone).name, QStringLiteral("Wang Laoshi"));
        QVERIFY(AccountTestEnv::toasts().contains(QString::fromUtf8("修改成功")));
        const QnHttpRecordedRequest request = m_cloud.requests(QnCloudRoute::kModifyUser).first();
        QCOMPARE(request.header("access_token"), m_info.token.toLatin1());
        QCOMPARE(QJsonDocument::fromJson(request.body).object(),
                 (QJsonObject{{QStringLiteral("userId"), m_info.uuid},
                              {QStringLiteral("name"), QStringLiteral("Wang Laoshi")}}));
        QnCloudFixture::Account a = m_cloud.account(kPhone);
        a.name = QStringLiteral("Teacher Li");
        m_cloud.setAccount(a);
    }

    void nameRefusedShowsAToast()
    {
        m_cloud.setReply(
            QnCloudRoute::kModifyUser,
            QnHttpResponse::json(QnCloudFixture::envelope(500, {}, QString::fromUtf8("姓名含敏感词"))), 1);
        std::unique_ptr<QnLynPersonalCenterWidget> page(makePage(QString(), {}));
        QSignalSpy named(page.get(), &QnLynPersonalCenterWidget::nameModifySuccess);
        QTimer::singleShot(50, this, [] {
            auto *dialog = QApplication::activeModalWidget();
            QTest::mouseClick(dialog->findChild<QWidget *>(QStringLiteral("closeBtn")), Qt::LeftButton);
        });
        QTest::mouseClick(child<QWidget>(page.get(), "nameBtn"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(AccountTestEnv::toasts().contains(QString::fromUtf8("姓名含敏感词")), 5000);
        QCOMPARE(named.count(), 0);
    }

    void headChange()
    {
        const QString file = pictureFile(QStringLiteral("pick.png"), Qt::blue);
        std::unique_ptr<QnLynPersonalCenterWidget> page(makePage(file, cropTo(square(Qt::green))));
        QSignalSpy head(page.get(), &QnLynPersonalCenterWidget::headModifySuccess);
        QSignalSpy named(page.get(), &QnLynPersonalCenterWidget::nameModifySuccess);
        QTest::mouseClick(child<QWidget>(page.get(), "imageBtn"), Qt::LeftButton);
        QCOMPARE(m_events, (QStringList{QStringLiteral("begin"), QStringLiteral("end")}));
        QCOMPARE(head.count(), 0); // nothing announced before the service accepted it
        QVERIFY(named.wait(5000));
        QCOMPARE(m_events, (QStringList{QStringLiteral("begin"), QStringLiteral("end"),
                                        QStringLiteral("head"), QStringLiteral("name")}));
        const QString path = head.first().at(0).toString();
        QCOMPARE(path, QnHeadImageFile::pathFor(m_info.uuid));
        QCOMPARE(QImage(path).pixelColor(5, 5), QColor(Qt::green));
        QCOMPARE(page->headPath(), path);
        QCOMPARE(m_cloud.uploads().size(), 1);
        const QString accessUrl = m_cloud.uploads().keys().first();
        QCOMPARE(m_cloud.account(kPhone).headPath, accessUrl);
        const QJsonObject body =
            QJsonDocument::fromJson(m_cloud.requests(QnCloudRoute::kModifyUser).first().body).object();
        QCOMPARE(body, (QJsonObject{{QStringLiteral("userId"), m_info.uuid},
                                    {QStringLiteral("headPath"), accessUrl}}));
        QVERIFY(
            QDir(QnHeadImageFile::headDir()).entryList({m_info.uuid + QStringLiteral("*.part-*")}).isEmpty());
    }

    void headChangeStops_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("uploads");
        QTest::newRow("crop rejected") << "rejected" << false;
        QTest::newRow("null crop") << "null" << false;
        QTest::newRow("upload refused") << "upload" << true;
        QTest::newRow("upload HTTP error") << "uploadHttp" << true;
        QTest::newRow("modify refused") << "modify" << true;
    }
    void headChangeStops()
    {
        QFETCH(QString, kind);
        QFETCH(bool, uploads);
        const QString finalPath = QnHeadImageFile::pathFor(m_info.uuid);
        QVERIFY(QnHeadImageFile::savePng(square(Qt::yellow), finalPath));
        const QString file = pictureFile(QStringLiteral("pick2.png"), Qt::blue);
        QnHeadCropStep crop = cropTo(square(Qt::green));
        if (kind == QLatin1String("rejected"))
            crop = cropTo(square(Qt::green), false);
        else if (kind == QLatin1String("null"))
            crop = cropTo(QImage());
        else if (kind == QLatin1String("upload"))
            m_cloud.setFault(QnCloudRoute::kUploadFile, QnCloudFixture::Fault::Code500, 1);
        else if (kind == QLatin1String("uploadHttp"))
            m_cloud.setFault(QnCloudRoute::kUploadFile, QnCloudFixture::Fault::HttpError, 1);
        else if (kind == QLatin1String("modify"))
            m_cloud.setFault(QnCloudRoute::kModifyUser, QnCloudFixture::Fault::Code500, 1);
        std::unique_ptr<QnLynPersonalCenterWidget> page(makePage(file, crop));
        QTest::mouseClick(child<QWidget>(page.get(), "imageBtn"), Qt::LeftButton);
        QCOMPARE(m_events, (QStringList{QStringLiteral("begin"), QStringLiteral("end")}));
        if (kind != QLatin1String("rejected"))
            QTRY_VERIFY_WITH_TIMEOUT(!AccountTestEnv::toasts().isEmpty(), 5000);
        QTest::qWait(300);
        QCOMPARE(m_events, (QStringList{QStringLiteral("begin"), QStringLiteral("end")}));
        QCOMPARE(m_cloud.requestCount(QnCloudRoute::kUploadFile), uploads ? 1 : 0);
        QCOMPARE(QImage(finalPath).pixelColor(5, 5), QColor(Qt::yellow));
        QStringList left =
            QDir(QnHeadImageFile::headDir()).entryList({m_info.uuid + QStringLiteral("*")}, QDir::Files);
        QCOMPARE(left, QStringList{QFileInfo(finalPath).fileName()});
    }

    void headPictureSizeLimit_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("refused");
        QTest::newRow("11 MiB") << qint64(11534336) << true;
        QTest::newRow("one byte less") << qint64(11534335) << false;
    }
    void headPictureSizeLimit()
    {
        QFETCH(qint64, size);
        QFETCH(bool, refused);
        const QString file = m_dir.filePath(QStringLiteral("big.png"));
        QFile big(file);
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(size));
        big.close();
        bool cropped = false;
        std::unique_ptr<QnLynPersonalCenterWidget> page(
            makePage(file, [&cropped](QWidget *, const QString &) {
                cropped = true;
                return QnHeadCropResult();
            }));
        QTest::mouseClick(child<QWidget>(page.get(), "imageBtn"), Qt::LeftButton);
        QCOMPARE(m_events, (QStringList{QStringLiteral("begin"), QStringLiteral("end")}));
        QCOMPARE(cropped, !refused);
        QCOMPARE(AccountTestEnv::toasts().contains(QString::fromUtf8("头像不能超过10MB")), refused);
        QFile::remove(file);
    }

    void cancelledFileDialogRaisesNothing()
    {
        std::unique_ptr<QnLynPersonalCenterWidget> page(makePage(QString(), cropTo(square(Qt::green))));
        QTest::mouseClick(child<QWidget>(page.get(), "imageBtn"), Qt::LeftButton);
        QVERIFY(m_events.isEmpty());
    }

    void headUploadAfterThePageIsGone()
    {
        m_cloud.setDelay(QnCloudRoute::kUploadFile, 300);
        const QString file = pictureFile(QStringLiteral("pick3.png"), Qt::blue);
        auto *page = makePage(file, cropTo(square(Qt::green)));
        QTest::mouseClick(child<QWidget>(page, "imageBtn"), Qt::LeftButton);
        delete page;
        QTest::qWait(700);
        QCOMPARE(m_cloud.requestCount(QnCloudRoute::kModifyUser), 0);
        m_cloud.setDelay(QnCloudRoute::kUploadFile, 0);
    }

    void ownCropDialogTakesTheCentredSquare()
    {
        QnHeadCropDialog dialog;
        QVERIFY(!dialog.setImage(m_dir.filePath(QStringLiteral("missing.png"))));
        QVERIFY(dialog.clippedImage().isNull());
        QVERIFY(dialog.setImage(pictureFile(QStringLiteral("wide.png"), Qt::cyan)));
        QCOMPARE(dialog.clippedImage().size(), QSize(48, 48));
        QCOMPARE(QnHeadCropDialog::centredSquare(QSize(64, 48)), QRect(8, 0, 48, 48));
    }

    // Head button -----------------------------------------------------------------------------------

    void headButtonPainting()
    {
        QnLynHeadButton button;
        button.resize(100, 100);
        QImage empty(100, 100, QImage::Format_ARGB32);
        empty.fill(Qt::transparent);
        button.render(&empty, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(empty.pixelColor(50, 50).alpha(), 0); // no picture: nothing at all

        button.loadHeadImage(pictureFile(QStringLiteral("btn.png"), Qt::red));
        QVERIFY(button.hasHeadImage());
        QCOMPARE(button.headWidth(), 100);
        QImage shot(100, 100, QImage::Format_ARGB32);
        shot.fill(Qt::black);
        button.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(shot.pixelColor(50, 50), QColor(Qt::red));
        QVERIFY(shot.pixelColor(1, 1) != QColor(Qt::red)); // outside the disc

        button.setHeadWidth(50);
        shot.fill(Qt::black);
        button.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(shot.pixelColor(25, 25), QColor(Qt::red)); // top-left, not centred
        QVERIFY(shot.pixelColor(75, 75) != QColor(Qt::red));
        QVERIFY(shot.pixelColor(75, 75) != QColor(Qt::black)); // the light disc fills the button
    }
};

QTEST_MAIN(TestPersonalCenter)
#include "tst_qnlynpersonalcenter.moc"

// The compiled catalogues carry the Chinese texts the windows are specified with, source texts
// matched byte for byte (odd spellings, trailing blanks and line breaks included).
#include "resources/QnResources.h"

#include <QCoreApplication>
#include <QTest>
#include <QTranslator>

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QnResources::init(); }

    void programCatalogue_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("translation");
        const auto row = [](const char *context, const char *source, const char *translation) {
            QTest::addRow("%s: %s", context, source)
                << QString::fromUtf8(context) << QString::fromUtf8(source) << QString::fromUtf8(translation);
        };
        // start-up (main uses QObject::tr or the "main" context)
        for (const char *context : {"QObject", "main"}) {
            row(context,
                "The receiver is running. Opening the sender forces the receiver to be closed,Do you want to "
                "continue?",
                "接收端正在运行，打开发送端将\n强制关闭接收端是否继续？");
            row(context, "title", "提示");
        }
        // root window
        row("QnMainWidget", "Network abnormal, please check network Settings", "网络异常，请检查网络设置");
        row("QnMainWidget", "Wrong account or password", "账号或密码错误");
        row("QnMainWidget", "connect successfully", "连接成功");
        row("QnMainWidget", "The connection failed. Please try again", "连接失败，请重新尝试");
        row("QnMainWidget", "connect failed", "连接码输入错误或未连接到同一网络");
        row("QnMainWidget", "The connection is broken", "连接已断开");
        row("QnMainWidget",
            "The number of screen projectors has reached the limit, please wait for other devices to "
            "disconnect "
            "and initiate the screen project",
            "投屏设备数量已达上限，请等候其他设备断开后发起投屏");
        row("QnMainWidget", "Mirror for screen", "镜像投屏");
        row("QnMainWidget", "Expand for screen", "拓展投屏");
        row("QnMainWidget",
            "The extension monitor is not detected. Please plug in the extension monitor and try again",
            "未检测到拓展显示器，请接入拓展显示器后重试");
        row("QnMainWidget", "Desktop mutex",
            "远程控制功能（桌面同步/鼠\n标遥控器）已被占用，请等\n待其他用户结束使用后重试");
        row("QnMainWidget", "Desktop sync", "桌面同步");
        row("QnMainWidget", "No more than 9 pictures can be uploaded", "单次上传图片数量不超过9张");
        row("QnMainWidget", "No more than 9 files can be uploaded", "单次上传文档数量不超过9个");
        row("QnMainWidget", "picture upload successfully", "图片上传成功");
        row("QnMainWidget", "document upload successfully", "文档上传成功");
        row("QnMainWidget", "The connection is broken,desktop disconnected ", "连接异常，桌面同步已断开");
        row("QnMainWidget", "The connection is broken,lyn screen disconnected ", "连接异常，投屏已断开");
        // main sender window and its pages
        row("QnLynConnectWidget",
            "The extension monitor is not detected. Please plug in the extension monitor and try again",
            "未检测到拓展显示器，请接入拓展显示器后重试");
        row("QnLynConnectWidget", "Network abnormal, please check network Settings",
            "网络异常，请检查网络设置");
        row("QnLynSettingWidget", "login", "登录");
        row("QnLynAboutWidget", "quenlo lyn current version:", "昆洛传屏 当前版本：");
        row("QnLynAboutWidget", "submit failed", "提交失败");
        row("QnLynAboutWidget", "submit sussess", "提交成功");
        row("QnLynAboutWidget", "It is the latest version!", "已是最新版本");
        row("QnLynUploadAgainWidget", "upload", "上传");
        // account pages and the login library
        row("HttpSession", "Login abnormal, please try again", "登录异常，请重新尝试");
        row("HttpSession", "The account does not exist or has been deleted", "账号不存在或已删除");
        row("HttpSession", "Phone is use", "手机号已经注册");
        row("HttpSession", "The phone number has been registered", "手机号码已经注册");
        row("LoginMain", "  quenlo lynserver", "昆洛传屏");
        row("CTimerButton", "Send Code", "获取验证码");
        row("CTimerButton", "%1s after", "%1S");
        row("LoginWidget", "The format of the mobile phone number is not correct", "手机号码格式不正确");
        row("LoginWidget", "Account password error", "账号或密码错误");
        row("RegisterWidget", "6-16,Support letters, numbers, and underscores.",
            "6-16位支持字母、数字、下划线");
        row("RegisterWidget", "Register successfully", "注册成功");
        row("ForgetPwdWidget", "Set Password", "设置密码");
        row("ForgetPwdWidget", "Password changed successfully", "密码修改成功");
        row("QnLynRegisterWidget", "The format of the mobile phone number is not correct.",
            "手机号码格式不正确");
        row("QnLynRegisterWidget", "phone is use", "手机号码已注册");
        row("QnLynRegisterWidget", "Mobile phone number not registered", "手机号码未注册");
        row("QnLynRegisterWidget", "s again get Captcha", "s重新获取");
        row("QnLynRegisterWidget", "Please read and check the User Agreement", "请阅读并勾选用户协议");
        row("QnLynRegisterWidget", "The two passwords don't match.", "两次输入密码不一致");
        row("QnLynRegisterWidget", "forgot password", "忘记密码");
        row("QnLynRegisterWidget", "finished", "完成");
        row("QnLynModifyPhoneNum", "phone num modify success", "修改成功");
        row("QnLynModifyPhoneNum", "Captcha error", "验证码错误");
        row("QnLynPersonalCenterWidget", "The head image cannot exceed 10m.", "头像不能超过10MB");
        row("QnLynPersonalCenterWidget", "modify success", "修改成功");
        row("QnLynModifyPasswordDialog", "The two passwords don't match.", "两次密码输入不一致");
        row("QnLynModifyPasswordDialog", "password modify success", "修改成功");
        row("QnLynLoginWidget", "The format of the mobile phone number is not correct.",
            "手机号码格式不正确");
        row("QnLynLoginWidget", "Network abnormal, please check network Settings",
            "网络异常，请检查网络设置");
        row("QnLynLoginWidget", "Mobile number not registered", "手机号码未注册");
        row("QnLynModifyPasswordDialog", "6-16,Support letters, numbers, and underscores.",
            "6-16位支持字母、数字、下划线");
        row("QnLynModifyPasswordDialog", "password error", "密码错误");
        row("QnLynModifyPhoneNum", "password error", "密码错误");
        row("QnLynModifyPhoneNum", "phone is use", "手机号码已注册");
        row("QnLynModifyPhoneNum", "Get Captcha", "获取验证码");
        row("QnLynModifyPhoneNum", "s again get Captcha", "s重新获取");
        row("QnLynRegisterWidget", "Captcha code sent successfully", "验证码发送成功");
        row("QnLynRegisterWidget", "Captcha error", "验证码错误");
        row("QnLynRegisterWidget", "Get Captcha", "获取验证码");
        row("QnLynRegisterWidget", "6-16,Support letters, numbers, and underscores.",
            "6-16位支持字母、数字、下划线");
        // refusals without a message of the service
        for (const char *context : {"QnLynRegisterWidget", "QnLynModifyPhoneNum", "QnLynModifyPasswordDialog",
                                    "QnLynPersonalCenterWidget"})
            row(context, "Request failed, please try again", "请求失败，请重新尝试");
        row("QObject", "Picture upload", "上传头像");
        row("QObject", "Cancel", "取消");
        // media tile status texts (source spellings kept as they are)
        row("QnVideoItem", "Buffering...", "缓冲中...");
        row("QnVideoItem", "Invalid meida", "无效的媒体");
        row("QnVideoProgressBar", "Play", "播放");
    }

    // Texts meant to stay in English have no entry ("OK" of the avatar crop, the head picture's file
    // dialog), so the catalogue leaves them as they are.
    void untranslatedStayEnglish_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::newRow("crop OK") << QStringLiteral("QObject") << QStringLiteral("OK");
        QTest::newRow("open file") << QStringLiteral("QnLynPersonalCenterWidget")
                                   << QStringLiteral("Open File");
        QTest::newRow("image filter")
            << QStringLiteral("QnLynPersonalCenterWidget") << QStringLiteral("Images (*.jpeg *.jpg *.png)");
    }

    void untranslatedStayEnglish()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/trans/QnLynClient_zh_CN")));
        QVERIFY(translator.translate(context.toUtf8().constData(), source.toUtf8().constData()).isEmpty());
    }

    void programCatalogue()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, translation);
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/trans/QnLynClient_zh_CN")));
        QCOMPARE(translator.translate(context.toUtf8().constData(), source.toUtf8().constData()),
                 translation);
    }

    // Installed the way the program installs it, tr() in a class context comes out in Chinese and a
    // text the catalogue lacks stays in its source form.
    void installedTranslatorServesTr()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/trans/QnLynClient_zh_CN")));
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QCOMPARE(QCoreApplication::translate("QnLynUploadAgainWidget", "upload"), QStringLiteral("上传"));
        QCOMPARE(QCoreApplication::translate("QnLynUploadAgainWidget", "Upload"), QStringLiteral("Upload"));
        QCOMPARE(QCoreApplication::translate("QnMainWidget", "The connection is broken,desktop disconnected"),
                 QStringLiteral("The connection is broken,desktop disconnected"));
        QCoreApplication::removeTranslator(&translator);
    }

    void updaterCatalogue_data()
    {
        QTest::addColumn<QString>("context");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("translation");
        const auto row = [](const char *context, const char *source, const char *translation) {
            QTest::addRow("%s: %s", context, source)
                << QString::fromUtf8(context) << QString::fromUtf8(source) << QString::fromUtf8(translation);
        };
        row("UpdateDownloader", "write %1 file failed", "写入%1文件失败");
        row("QObject", "Warm Remind", "警告");
        row("QObject", "The respect customer, need administrator privileges to run the upgrade process",
            "尊敬的客户，需要管理员权限才能运行升级程序");
        row("QObject", "OK", "确定");
        row("UpdateMain", "error", "错误");
        row("UpdateMain", "The upgrade failed, please go to the official website to download again",
            "升级失败，请去官网进行下载");
        row("UpdateMain", "OK", "确认");
    }

    void updaterCatalogue()
    {
        QFETCH(QString, context);
        QFETCH(QString, source);
        QFETCH(QString, translation);
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/resource/update.qm")));
        QCOMPARE(translator.translate(context.toUtf8().constData(), source.toUtf8().constData()),
                 translation);
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"

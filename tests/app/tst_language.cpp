// The interface language: which one an option value stands for, and a
// running program switched to English and back, window by window.

#include "AppTestSupport.h"
#include "CalibrationAccel.h"
#include "DeviceConfToShow.h"
#include "DlgPreferences.h"
#include "DockDeviceList.h"
#include "LanguageSwitcher.h"
#include "MainView.h"
#include "ProgramFiles.h"
#include "StreamSettingsPage.h"
#include "Strideloom.h"
#include "TabSuitWidget.h"
#include "ToolBarDeviceOperation.h"
#include "UsbStatusLabel.h"
#include "kvusb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {

// What the next modal information box showed: title, text, button.
QStringList answerNextBox()
{
    QStringList seen;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            seen << box->windowTitle() << box->text() << box->buttons().value(0)->text();
            box->accept();
            loop.quit();
        }
    });
    poll.start(20);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    return seen;
}

QString menuTitle(Strideloom& w, const char* name)
{
    return w.findChild<QMenu*>(QLatin1String(name))->title();
}

// Lets the posted LanguageChange events reach every window.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QUrl url;
public slots:
    void open(const QUrl& u) { url = u; }
};

class TestLanguage : public QObject
{
    Q_OBJECT
private slots:
    void optionValuesAndTheSystemLanguage()
    {
        const QStringList chinese{"zh-CN", "en-US"}, english{"en-GB"}, posix{"C"};
        QCOMPARE(LanguageSwitcher::resolve("auto", chinese), QStringLiteral("zh_CN"));
        QCOMPARE(LanguageSwitcher::resolve("auto", {"zh-Hant-TW"}), QStringLiteral("zh_CN"));
        QCOMPARE(LanguageSwitcher::resolve("auto", english), QStringLiteral("en"));
        // A C or POSIX locale is no Chinese system.
        QCOMPARE(LanguageSwitcher::resolve("auto", posix), QStringLiteral("en"));
        QCOMPARE(LanguageSwitcher::resolve("auto", {}), QStringLiteral("en"));
        // An option file without the option, or with a value of no meaning.
        QCOMPARE(LanguageSwitcher::resolve(QString(), chinese), QStringLiteral("zh_CN"));
        QCOMPARE(LanguageSwitcher::resolve("fr", english), QStringLiteral("en"));
        QCOMPARE(LanguageSwitcher::resolve("zh_CN", english), QStringLiteral("zh_CN"));
        QCOMPARE(LanguageSwitcher::resolve("en", chinese), QStringLiteral("en"));
    }

    // Qt's own translation: where Qt's translations path lacks it, beside the
    // program's; where nothing has it, Qt's texts stay English and it is said.
    void qtsOwnTranslationIsLookedForInMorePlaces()
    {
        QTemporaryDir empty, own;
        QVERIFY(QFile::copy(QLibraryInfo::location(QLibraryInfo::TranslationsPath) + "/qtbase_zh_CN.qm",
                            own.filePath("qtbase_zh_CN.qm")));
        {
            LanguageSwitcher language(own.path(), empty.path(), {"en-US"});
            QCOMPARE(language.apply("zh_CN"), QStringLiteral("zh_CN"));
            QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
        }
        LanguageSwitcher language(empty.path(), empty.path(), {"en-US"});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no Qt translation .* stay English"));
        language.apply("zh_CN");
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    }

    void anOptionFileWithoutTheOptionFollowsTheSystem()
    {
        AppWorkDir work;
        QVERIFY(work.isValid());
        work.setOption("language", QString());
        LanguageSwitcher language(ProgramFiles::find("translations"), QLibraryInfo::location(QLibraryInfo::TranslationsPath),
                                  {"en-US"});
        Strideloom window(&language);
        QCOMPARE(language.current(), QStringLiteral("en"));
        QCOMPARE(menuTitle(window, "FileOperation"), QStringLiteral("File"));
    }

    void theRunningProgramSwitchesToEnglishAndBack()
    {
        AppWorkDir work;
        QVERIFY(work.isValid());
        // The system is English; the option file asks for Chinese.
        LanguageSwitcher language(ProgramFiles::find("translations"), QLibraryInfo::location(QLibraryInfo::TranslationsPath),
                                  {"en-US"});
        Strideloom window(&language);
        window.show();
        QTableWidget* table = window.deviceDock()->table();
        window.deviceDock()->addDevice(new DeviceConfToShow(SOURCE_SERIAL, 115200, "20230001", QString()));
        window.deviceDock()->addDevice(new DeviceConfToShow(SOURCE_ROUTER, 0, "4660", "4660Hips"));
        // Another station's serial device: its name is worded here.
        window.deviceDock()->AppReadNetworkFrame("lab1", "4242", FrameData{});
        window.deviceDock()->setNetworkDeviceName("lab1", "4242", QString());
        window.deviceDock()->setStationOnline("lab1", false);
        const auto network = [&] {
            const DeviceConfToShow* remote = window.deviceDock()->records().back();
            return QStringList{table->item(2, 2)->text(), table->item(2, 2)->toolTip(),
                               window.deviceDock()->menuActionsFor(remote).value(0)->text()};
        };
        const QStringList chineseNetwork = network();
        QAction* find = window.deviceToolBar()->checkSerialAction();
        auto* pageButton = window.mainView()->findChild<QPushButton*>("ButtonToBasicData");
        window.onDiscoveryStarted();
        const QStringList chinese{menuTitle(window, "FileOperation"), find->text(), find->toolTip(),
                                  window.deviceDock()->windowTitle(), table->horizontalHeaderItem(0)->text(),
                                  table->item(0, 1)->text(), table->item(0, 2)->text(), table->item(1, 1)->text(),
                                  pageButton->toolTip(), window.statusBar()->currentMessage()};
        QCOMPARE(chinese, QStringList({QString::fromUtf8("文件"), QString::fromUtf8("查找设备"),
                                       QString::fromUtf8("查找设备：在所有串口上以五种波特率查找串口设备"),
                                       QString::fromUtf8("设备列表"), QString::fromUtf8("设备ID"), "Serial Port",
                                       QString::fromUtf8("波特率：115200"), "Router Device",
                                       QString::fromUtf8("基础数据：加速度、角速度与磁场"),
                                       QString::fromUtf8("正在查找设备…")}));
        // Texts set in code: the suit page, the receiver field, a library's message.
        TabSuitWidget* suit = window.mainView()->pageSuit();
        auto* usbField = window.statusBar()->findChild<UsbStatusLabel*>();
        usbField->setRouterProblem(kvusb::RouterHeldElsewhere, 1);
        stream::StreamOptions badPort;
        badPort.mqtt = true;
        badPort.brokerPort = -1;
        const auto inCode = [&] {
            return QStringList{suit->tposeButton()->text(), suit->recordButton()->text(), usbField->text(),
                               badPort.validate()};
        };
        const QStringList chineseInCode = inCode();
        QCOMPARE(chineseInCode.value(0), QString::fromUtf8("T 姿势对齐"));

        QCOMPARE(language.apply("en"), QStringLiteral("en"));
        settle();
        const QStringList english{menuTitle(window, "FileOperation"), find->text(), find->toolTip(),
                                  window.deviceDock()->windowTitle(), table->horizontalHeaderItem(0)->text(),
                                  table->item(0, 1)->text(), table->item(0, 2)->text(), table->item(1, 1)->text(),
                                  pageButton->toolTip(), window.statusBar()->currentMessage()};
        QCOMPARE(english, QStringList({"File", "Find devices",
                                       "Find devices: serial devices on every port, at each of the five baud rates",
                                       "Device list", "Device ID", "Serial port", "Baud rate: 115200", "USB node",
                                       "Basic data: acceleration, angular rate and magnetic field",
                                       QString::fromUtf8("Finding devices…")}));
        QCOMPARE(network(), QStringList({"lab1: Serial device 4242", "Capture station offline",
                                         "Network device: commands and calibrations run on its capture station"}));
        QCOMPARE(inCode(), QStringList({"T-pose", "Record BVH",
                                        "USB receiver held by another program; it connects by itself once that "
                                        "program closes",
                                        "Broker port invalid: use a whole number from 1 to 65535"}));
        // A device record's log lines are written in the language in force.
        DeviceConfToShow* serial = window.deviceDock()->records().front();
        serial->setMagCalculType(DeviceConfToShow::MagCalcul_Collect);
        const float field[3] = {20, 5, -40};
        serial->processMagSample(field);
        QCOMPARE(serial->getLogList().value(0), QStringLiteral("Samples collected for the fit: 1"));
        serial->setMagCalculType(DeviceConfToShow::MagCalcul_Idle);
        // Texts set in code keep their data; the node's name is no text.
        QCOMPARE(table->item(1, 2)->text(), QStringLiteral("4660Hips"));
        QVERIFY(window.windowTitle().startsWith("KORVANT Strideloom  "));
        // Qt's own texts follow (its shipped translations).
        language.apply("zh_CN");
        settle();
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString::fromUtf8("取消"));
        language.apply("en");
        settle();

        // An information box, title and button included.
        QTimer::singleShot(0, &window, [&window] { window.onZeroRotate(true); });
        QCOMPARE(answerNextBox(), QStringList({"Notice", "Tick exactly one device to zero its rotation.", "OK"}));

        // The wizard's first page, re-translated while it is open.
        {
            CalibrationAccel wizard("20230001", window.device(), &window);
            QCOMPARE(wizard.windowTitle(), QStringLiteral("Accelerometer calibration"));
            QCOMPARE(wizard.buttonText(), QStringLiteral("Start"));
            QCOMPARE(wizard.labelText("label_wait_begin"), QStringLiteral("Command sent, waiting: "));
            wizard.slotRecvCMDResponded("20230001", true);
            QCOMPARE(wizard.labelText("label_recvSuc_begin"), QStringLiteral("Command status: succeeded"));
            language.apply("zh_CN");
            settle();
            QCOMPARE(wizard.buttonText(), QString::fromUtf8("开始校准"));
            QCOMPARE(wizard.labelText("label_recvSuc_begin"), QString::fromUtf8("命令执行状态：成功！"));
            language.apply("en");
            settle();
        }

        // The preferences: a language chosen there is in force at once, and
        // cancelling takes it back.
        {
            DlgPreferences dlg(&language);
            dlg.strLanguage = "en";
            dlg.initFromSettings();
            auto* combo = dlg.findChild<QComboBox*>("comboBox_language");
            auto* tree = dlg.findChild<QTreeWidget*>("treeWidget_SelectTab_2");
            QCOMPARE(combo->currentText(), QStringLiteral("English"));
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Options"));
            QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("General"));
            auto* streamPage = dlg.findChild<StreamSettingsPage*>();
            const auto streamTexts = [&] {
                QString port;
                for (const QLabel* l : streamPage->findChildren<QLabel*>())
                    if (l->buddy() == static_cast<QWidget*>(streamPage->editPort))
                        port = l->text();
                return QStringList{tree->topLevelItem(2)->text(0), streamPage->checkMqtt->text(), port,
                                   streamPage->findChild<QPushButton*>()->text()};
            };
            QCOMPARE(streamTexts(), QStringList({"Streaming", "Publish this computer's devices to the broker", "Port:",
                                                 "Browse"}));
            combo->setCurrentIndex(combo->findData("zh_CN"));
            settle();
            QCOMPARE(dlg.strLanguage, QStringLiteral("zh_CN"));
            QCOMPARE(dlg.windowTitle(), QString::fromUtf8("选项"));
            QCOMPARE(tree->topLevelItem(0)->text(0), QString::fromUtf8("基础配置"));
            QCOMPARE(streamTexts(), QStringList({QString::fromUtf8("流数据"), QString::fromUtf8("将本机设备的数据发布到代理服务器"),
                                                 QString::fromUtf8("端口："), QString::fromUtf8("浏览")}));
            QCOMPARE(menuTitle(window, "FileOperation"), QString::fromUtf8("文件"));
            dlg.reject();
            settle();
            QCOMPARE(language.current(), QStringLiteral("en"));
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Options"));
            QCOMPARE(menuTitle(window, "FileOperation"), QStringLiteral("File"));
        }

        // The help opens the shipped guide.
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        window.OnClickOnlineHelp();
        QDesktopServices::unsetUrlHandler("file");
        QVERIFY(catcher.url.isLocalFile());
        QFile guide(catcher.url.toLocalFile());
        QVERIFY2(guide.open(QIODevice::ReadOnly), qPrintable(catcher.url.toString()));
        QVERIFY(guide.readAll().contains("<h1>Strideloom</h1>"));

        // Back in Chinese everything reads as before.
        language.apply("zh_CN");
        settle();
        const QStringList again{menuTitle(window, "FileOperation"), find->text(), find->toolTip(),
                                window.deviceDock()->windowTitle(), table->horizontalHeaderItem(0)->text(),
                                table->item(0, 1)->text(), table->item(0, 2)->text(), table->item(1, 1)->text(),
                                pageButton->toolTip(), window.statusBar()->currentMessage()};
        QCOMPARE(again, chinese);
        QCOMPARE(inCode(), chineseInCode);
        QCOMPARE(network(), chineseNetwork);
        QCOMPARE(chineseNetwork.value(0), QString::fromUtf8("lab1: 串口设备 4242"));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"

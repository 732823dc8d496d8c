#include "AppTestSupport.h"
#include "ConfigFile.h"
#include "DlgPreferences.h"
#include "RecordFormat.h"
#include "ExportSettings.h"
#include "Strideloom.h"
#include "ToolBarFileOperation.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

namespace {

// Answers the next modal information box and returns its text through `text`.
void answerNextBox(QString* text)
{
    QTimer::singleShot(50, [text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            *text = box->text();
            box->accept();
        } else {
            answerNextBox(text);
        }
    });
}

} // namespace

class TestDlgPreferences : public QObject
{
    Q_OBJECT
private slots:
    void emptyOptionsChooseCustomAndRefuseOk()
    {
        DlgPreferences dlg;
        dlg.initFromSettings();
        QVERIFY(dlg.findChild<QCheckBox*>("checkBox_separate_other")->isChecked());
        QVERIFY(dlg.findChild<QCheckBox*>("checkBox_placeholder_other")->isChecked());
        QVERIFY(dlg.findChild<QLineEdit*>("edit_file_name")->text().isEmpty());
        QVERIFY(!dlg.findChild<QCheckBox*>("checkBox_sensordata_quat")->isChecked());
        QVERIFY(dlg.findChild<QCheckBox*>("checkBox_placeholder_NaN")->isHidden());
        QString text;
        answerNextBox(&text);
        dlg.checkIsAccept();
        QCOMPARE(text, QString::fromUtf8("分隔符 与 占位符 不能相同，请重新设置！"));
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
    }

    void choicesActAsOneAndFlagsStoreCheckStates()
    {
        DlgPreferences dlg;
        dlg.stcSettings.separate = ",";
        dlg.stcSettings.placeholder = "0";
        dlg.stcSettings.accel = 1;
        dlg.stcSettings.packcount = 1;
        dlg.initFromSettings();
        QVERIFY(dlg.findChild<QCheckBox*>("checkBox_separate_comma")->isChecked());
        QVERIFY(dlg.findChild<QCheckBox*>("checkBox_placeholder_Zero")->isChecked());
        QVERIFY(!dlg.findChild<QLineEdit*>("edit_separate_other")->isEnabled());
        QVERIFY(dlg.findChild<QCheckBox*>("checkBox_sensordata_accel")->isChecked());

        dlg.findChild<QCheckBox*>("checkBox_separate_other")->click();
        QVERIFY(!dlg.findChild<QCheckBox*>("checkBox_separate_comma")->isChecked());
        QVERIFY(dlg.findChild<QLineEdit*>("edit_separate_other")->isEnabled());
        dlg.findChild<QLineEdit*>("edit_separate_other")->setText("|");
        QCOMPARE(dlg.stcSettings.separate, QStringLiteral("|"));

        dlg.findChild<QCheckBox*>("checkBox_sensordata_mag")->setChecked(true);
        QCOMPARE(dlg.stcSettings.mag, 2);
        dlg.findChild<QCheckBox*>("checkBox_sensordata_accel")->setChecked(false);
        QCOMPARE(dlg.stcSettings.accel, 0);

        dlg.findChild<QLineEdit*>("edit_file_name")->clear();
        dlg.ExportFile_editFileName();
        QCOMPARE(dlg.stcSettings.filename, QStringLiteral("data"));

        dlg.findChild<QCheckBox*>("checkBox_placeholder_other")->click();
        dlg.findChild<QLineEdit*>("edit_placeholder_other")->setText("|");
        QString text;
        answerNextBox(&text);
        dlg.checkIsAccept();
        QVERIFY(!text.isEmpty());
        dlg.findChild<QLineEdit*>("edit_placeholder_other")->setText("-");
        dlg.checkIsAccept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void anOptionFileWithOnlyTheExportDirectory()
    {
        AppWorkDir work;
        QVERIFY(work.isValid());
        QFile config("Resources/config.xml");
        QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ExportFileSetting>\n    <OptionList>\n"
                     "        <OpConf name=\"savepath\" value=\"/data/rec\"/>\n    </OptionList>\n</ExportFileSetting>\n");
        config.close();
        Strideloom window;
        QCOMPARE(window.fileToolBar()->pathCombo()->currentText(), QStringLiteral("/data/rec"));
        ExportSettings s;
        window.loadExportSettings(s);
        QVERIFY(s.filename.isEmpty());
        // No recording is made with an empty separator or placeholder.
        QCOMPARE(s.separate, QStringLiteral("\t"));
        QCOMPARE(s.placeholder, QStringLiteral("NaN"));
        QCOMPARE(s.accel + s.quat + s.packcount + s.datetime, 0);
        // The options looked up are written by the next save.
        QVERIFY(window.saveConfigFile());
        ConfigFile::Options saved;
        QVERIFY(ConfigFile::read("Resources/config.xml", &saved));
        for (const char* name : {"separate", "placeholder", "accel", "datetime", "savepath"})
            QVERIFY2(saved.count(QString::fromLatin1(name)), name);
    }

    void unreadableSeparatorsAndPlaceholdersAreRefused()
    {
        const QString separatorText = RecordFormat::separatorProblem(".");
        QVERIFY(!separatorText.isEmpty());
        for (const QString& bad : {"", "/", "5", ".", "-", "+", "e", "E", "_", "n", "a", "I", "f", "x.y", "\n"})
            QVERIFY2(!RecordFormat::separatorProblem(bad).isEmpty(), qPrintable(bad));
        for (const QString& good : {"\t", ";", ",", " ", "|", "::"})
            QVERIFY2(RecordFormat::separatorProblem(good).isEmpty(), qPrintable(good));
        QVERIFY(RecordFormat::placeholderProblem("NaN", ",").isEmpty());
        QVERIFY(RecordFormat::placeholderProblem("0", "\t").isEmpty());
        for (const QString& bad : {"", "a/b", "x,y"})
            QVERIFY2(!RecordFormat::placeholderProblem(bad, ",").isEmpty(), qPrintable(bad));
        QVERIFY(!RecordFormat::placeholderProblem(":", "::").isEmpty());

        DlgPreferences dlg;
        dlg.stcSettings.separate = ".";
        dlg.stcSettings.placeholder = "NaN";
        dlg.initFromSettings();
        QString text;
        answerNextBox(&text);
        dlg.checkIsAccept();
        QCOMPARE(text, separatorText);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));

        // An option file holding one falls back to the default; a file whose
        // root is not an option file is not read at all.
        ConfigFile::Options options{{"separate", "-"}, {"placeholder", "NaN"}};
        QCOMPARE(ConfigFile::exportSettings(options).separate, QStringLiteral("\t"));
        QTemporaryFile other;
        QVERIFY(other.open());
        other.write("<Other><OptionList><OpConf name=\"separate\" value=\";\"/></OptionList></Other>");
        other.close();
        ConfigFile::Options read;
        QVERIFY(!ConfigFile::read(other.fileName(), &read));
        QVERIFY(read.empty());
    }
};

QTEST_MAIN(TestDlgPreferences)
#include "tst_dlgpreferences.moc"

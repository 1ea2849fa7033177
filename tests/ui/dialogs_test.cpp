// dialogs_test.cpp - the question, decrypt, information, About and settings dialogs: results, texts and values.
#include "ui/aboutbox.h"
#include "ui/infobox.h"
#include "ui/passworddecrypt.h"
#include "ui/questionbox.h"
#include "ui/settingsbox.h"
#include "widget_lookup.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace zor {
namespace {

using test::child;

// Shows `dialog` modally and presses the button `name` from inside its loop.
int execPressing(QDialog& dialog, const char* name) {
    QTimer::singleShot(0, &dialog, [&dialog, name] { child<QPushButton>(dialog, name)->click(); });
    return dialog.exec();
}

struct AnswerCase {
    const char* button;
    int result;
};

class QuestionAnswers : public testing::TestWithParam<AnswerCase> {};

TEST_P(QuestionAnswers, EachButtonGivesItsNumber) {
    TQuestion question;
    question.setQuestion(QStringLiteral("File /tmp/a already exists. Overwrite ?"));
    EXPECT_EQ(execPressing(question, GetParam().button), GetParam().result);
    EXPECT_FALSE(question.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Buttons, QuestionAnswers,
                         testing::Values(AnswerCase{"Yes", 6}, AnswerCase{"No", 7}, AnswerCase{"All", 8}));

TEST(Question, ShowsTheCallersTextAndTheButtonCaptions) {
    TQuestion question;
    question.setQuestion(QStringLiteral("Delete it ?"));
    EXPECT_EQ(child<QLabel>(question, "QuestionLabel")->text(), QStringLiteral("Delete it ?"));
    EXPECT_EQ(child<QPushButton>(question, "Yes")->text(), QStringLiteral("&Yes"));
    EXPECT_EQ(child<QPushButton>(question, "No")->text(), QStringLiteral("&No"));
    EXPECT_EQ(child<QPushButton>(question, "All")->text(), QStringLiteral("&All"));
    EXPECT_EQ(question.windowTitle(), QStringLiteral("Question"));
}

TEST(Question, EscapeAndCloseDoNotEndItWithoutAnAnswer) {
    TQuestion question;
    bool stillOpen = false;
    QTimer::singleShot(0, &question, [&] {
        QTest::keyClick(&question, Qt::Key_Escape);
        question.close();
        stillOpen = question.isVisible();
        child<QPushButton>(question, "No")->click();
    });
    EXPECT_EQ(question.ask(QStringLiteral("Overwrite ?")), mrNo);
    EXPECT_TRUE(stillOpen);
}

TEST(Question, ALongPathGrowsTheDialogInsteadOfCuttingTheText) {
    TQuestion question;
    const QSize plain = question.size();
    QString path;
    for (char part = 'a'; part < 'k'; ++part) path += QStringLiteral("/") + QString(30, QLatin1Char(part)) + " ";
    question.setQuestion(QStringLiteral("File ") + path + QStringLiteral("already exists. Overwrite ?"));
    EXPECT_GT(question.height(), plain.height());
    EXPECT_EQ(question.width(), plain.width());
}

TEST(Decrypt, OkHandsOverTheTypedTextAndCancelSaysCancel) {
    TDecrypt decrypt;
    auto* field = child<QLineEdit>(decrypt, "PasswordDecrypt");
    EXPECT_EQ(field->echoMode(), QLineEdit::Normal);
    field->setText(QStringLiteral("Secret"));
    EXPECT_EQ(execPressing(decrypt, "BitBtn1"), mrOk);
    EXPECT_EQ(decrypt.password(), QStringLiteral("Secret"));
    EXPECT_EQ(execPressing(decrypt, "BitBtn2"), mrCancel);
    decrypt.show();
    decrypt.reject();
    EXPECT_EQ(decrypt.result(), mrCancel);
    field->setText(QString(60, QLatin1Char('k')));
    EXPECT_EQ(decrypt.password().size(), 50);
}

TEST(Decrypt, ClearingForgetsTheLastArchivesPassword) {
    TDecrypt decrypt;
    child<QLineEdit>(decrypt, "PasswordDecrypt")->setText(QStringLiteral("old"));
    decrypt.clearPassword();
    EXPECT_TRUE(decrypt.password().isEmpty());
}

TEST(Info, ShowsTheHeaderValues) {
    TInfo info;
    info.fill({4000000000u, 1234, 7, 2, true, false, 31});
    EXPECT_EQ(child<QLabel>(info, "TotalSize")->text(), QStringLiteral("4000000000"));
    EXPECT_EQ(child<QLabel>(info, "TotalPackedSize")->text(), QStringLiteral("1234"));
    EXPECT_EQ(child<QLabel>(info, "NumberOfFiles")->text(), QStringLiteral("7"));
    EXPECT_EQ(child<QLabel>(info, "NumberOfDirectories")->text(), QStringLiteral("2"));
    EXPECT_EQ(child<QLabel>(info, "PasswordProtected")->text(), QStringLiteral("Yes"));
    EXPECT_EQ(child<QLabel>(info, "Locked")->text(), QStringLiteral("No"));
    EXPECT_EQ(child<QLabel>(info, "Ratio")->text(), QStringLiteral("31 %"));
    EXPECT_EQ(child<QProgressBar>(info, "FlatProgressBar1")->value(), 31);
    info.setLocked(true);
    EXPECT_EQ(child<QLabel>(info, "Locked")->text(), QStringLiteral("Yes"));
}

TEST(Info, AnEnlargedArchiveFillsTheBarInsteadOfKeepingTheLastOne) {
    TInfo info;
    info.fill({10, 3, 1, 0, false, false, 30});
    info.fill({10, 12, 1, 0, false, true, 120});
    EXPECT_EQ(child<QLabel>(info, "Ratio")->text(), QStringLiteral("120 %"));
    EXPECT_EQ(child<QProgressBar>(info, "FlatProgressBar1")->value(), 100);
    EXPECT_EQ(child<QLabel>(info, "PasswordProtected")->text(), QStringLiteral("No"));
    EXPECT_EQ(child<QLabel>(info, "Locked")->text(), QStringLiteral("Yes"));
}

TEST(About, ShowsVersionBuildAndReleaseDate) {
    TAbout about;
    about.setVersion(QStringLiteral("2.00"), 61, QStringLiteral("28/01/2001"));
    EXPECT_EQ(child<QLabel>(about, "BuildLabel")->text(), QStringLiteral("Version : 2.00   Build : 61"));
    EXPECT_EQ(child<QLabel>(about, "ReleaseLabel")->text(), QStringLiteral("Release date : 28/01/2001"));
    EXPECT_FALSE(child<QLabel>(about, "ProgramIcon")->pixmap().isNull());
    EXPECT_EQ(execPressing(about, "BitBtn1"), mrOk);
}

TEST(Settings, HasTwoEmptyTabsAndClosesWithEitherButton) {
    TSettingsDialog settings;
    auto* tabs = child<QTabWidget>(settings, "TabSettings");
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("General"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Compression"));
    EXPECT_EQ(tabs->currentIndex(), 0);
    EXPECT_TRUE(tabs->widget(0)->children().isEmpty());
    EXPECT_EQ(execPressing(settings, "OK"), mrOk);
    EXPECT_EQ(execPressing(settings, "Cancel"), mrCancel);
}

}  // namespace
}  // namespace zor

// password_test.cpp - when the password dialog lets OK be pressed, and what OK and clearing keep.
#include "ui/password.h"
#include "widget_lookup.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace zor {
namespace {

using test::child;

class PasswordBoxTest : public testing::Test {
protected:
    PasswordBoxTest()
        : password_(child<QLineEdit>(box_, "Password")),
          repeat_(child<QLineEdit>(box_, "PasswordRepeat")),
          show_(child<QCheckBox>(box_, "ShowPassword")),
          ok_(child<QPushButton>(box_, "OK")) {
        box_.show();
    }

    TPasswordBox box_;
    QLineEdit* password_;
    QLineEdit* repeat_;
    QCheckBox* show_;
    QPushButton* ok_;
};

TEST_F(PasswordBoxTest, StartsHiddenWithOkOff) {
    EXPECT_FALSE(ok_->isEnabled());
    EXPECT_FALSE(show_->isChecked());
    EXPECT_EQ(password_->echoMode(), QLineEdit::Password);
    EXPECT_EQ(repeat_->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(box_.passwordSet());
}

TEST_F(PasswordBoxTest, OkNeedsTwoEqualNonEmptyTexts) {
    password_->setText(QStringLiteral("Secret"));
    EXPECT_FALSE(ok_->isEnabled());
    repeat_->setText(QStringLiteral("Secret"));
    EXPECT_TRUE(ok_->isEnabled());
    repeat_->setText(QStringLiteral("secret"));  // case counts
    EXPECT_FALSE(ok_->isEnabled());
    repeat_->setText(QStringLiteral("Secret"));
    password_->clear();
    EXPECT_FALSE(ok_->isEnabled());
}

TEST_F(PasswordBoxTest, ShowingThePasswordNeedsOnlyTheFirstField) {
    password_->setText(QStringLiteral("abc"));
    show_->click();
    EXPECT_TRUE(ok_->isEnabled());
    EXPECT_EQ(password_->echoMode(), QLineEdit::Normal);
    EXPECT_FALSE(repeat_->isVisible());
    EXPECT_FALSE(child<QLabel>(box_, "Label2")->isVisible());
    password_->setText(QStringLiteral("abcd"));  // the repeat field no longer counts
    EXPECT_TRUE(ok_->isEnabled());
    password_->clear();
    EXPECT_FALSE(ok_->isEnabled());
}

TEST_F(PasswordBoxTest, HidingItAgainAsksForTheRepeatOnceMore) {
    password_->setText(QStringLiteral("abc"));
    show_->click();
    ASSERT_TRUE(ok_->isEnabled());
    show_->click();
    EXPECT_FALSE(ok_->isEnabled());
    EXPECT_EQ(password_->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(repeat_->isVisible());
    repeat_->setText(QStringLiteral("abc"));
    EXPECT_TRUE(ok_->isEnabled());
}

TEST_F(PasswordBoxTest, UntickingWithBothFieldsEmptyLeavesOkOff) {
    show_->click();
    EXPECT_FALSE(ok_->isEnabled());
    show_->click();
    EXPECT_FALSE(ok_->isEnabled());
}

TEST_F(PasswordBoxTest, OkKeepsThePasswordAndMarksTheNextArchive) {
    password_->setText(QStringLiteral("Secret"));
    repeat_->setText(QStringLiteral("Secret"));
    ok_->click();
    EXPECT_EQ(box_.result(), mrOk);
    EXPECT_TRUE(box_.passwordSet());
    EXPECT_EQ(box_.passwordText(), QStringLiteral("Secret"));
    // The fields keep their contents for the next showing.
    EXPECT_EQ(password_->text(), QStringLiteral("Secret"));
}

TEST_F(PasswordBoxTest, OkWithThePasswordShownCopiesItIntoTheRepeatField) {
    password_->setText(QStringLiteral("clear"));
    show_->click();
    ok_->click();
    EXPECT_EQ(repeat_->text(), QStringLiteral("clear"));
    EXPECT_EQ(box_.passwordText(), QStringLiteral("clear"));
}

TEST_F(PasswordBoxTest, CancelChangesNothingThatWasSetBefore) {
    password_->setText(QStringLiteral("first"));
    repeat_->setText(QStringLiteral("first"));
    ok_->click();
    box_.show();
    password_->setText(QStringLiteral("second"));
    repeat_->setText(QStringLiteral("second"));
    child<QPushButton>(box_, "Cancel")->click();
    EXPECT_EQ(box_.result(), mrCancel);
    EXPECT_EQ(box_.passwordText(), QStringLiteral("first"));
    EXPECT_TRUE(box_.passwordSet());
}

TEST_F(PasswordBoxTest, ClearingForgetsBufferMarkAndFields) {
    password_->setText(QStringLiteral("Secret"));
    repeat_->setText(QStringLiteral("Secret"));
    ok_->click();
    box_.clearPassword();
    EXPECT_FALSE(box_.passwordSet());
    EXPECT_TRUE(box_.passwordText().isEmpty());
    EXPECT_TRUE(password_->text().isEmpty());
    EXPECT_TRUE(repeat_->text().isEmpty());
    EXPECT_FALSE(ok_->isEnabled());
}

TEST_F(PasswordBoxTest, FieldsTakeFiftyCharactersAndRefuseTheFiftyFirst) {
    password_->setText(QString(50, QLatin1Char('p')));
    EXPECT_EQ(password_->text().size(), 50);
    password_->setText(QString(51, QLatin1Char('p')));
    EXPECT_EQ(password_->text().size(), 50);
    repeat_->setText(QString(51, QLatin1Char('p')));
    EXPECT_EQ(repeat_->text().size(), 50);
    EXPECT_TRUE(ok_->isEnabled());
}

}  // namespace
}  // namespace zor

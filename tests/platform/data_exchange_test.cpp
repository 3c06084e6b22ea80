#include "platform/data_exchange.h"

#include "platform/dialog_builder.h"
#include "seam_scopes.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>
#include <string>

namespace {

using platform::FormatDouble;
using platform::ParseDouble;
using platform::ParseInt;

QString Printf15g(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return QString::fromLatin1(buffer);
}

TEST(DataExchangeParse, IntegersAreDecimalWithBlanksAround)
{
    EXPECT_EQ(ParseInt(QStringLiteral("1000")), 1000);
    EXPECT_EQ(ParseInt(QStringLiteral("  -7 ")), -7);
    EXPECT_EQ(ParseInt(QStringLiteral("+3")), 3);
    EXPECT_EQ(ParseInt(QStringLiteral("0")), 0);
    EXPECT_EQ(ParseInt(QStringLiteral("2147483647")), std::numeric_limits<int>::max());
    for (const char* refused : {"", "  ", "1.5", "12a", "a12", "1 2", "--1", "+-1", "2147483648", "0x10", "1e3"})
        EXPECT_FALSE(ParseInt(QString::fromLatin1(refused)).has_value()) << refused;
}

TEST(DataExchangeParse, DoublesAreFiniteDecimalNumbers)
{
    EXPECT_EQ(ParseDouble(QStringLiteral("1e-05")), 1e-5);
    EXPECT_EQ(ParseDouble(QStringLiteral(" 2.5 ")), 2.5);
    EXPECT_EQ(ParseDouble(QStringLiteral("-0.1")), -0.1);
    EXPECT_EQ(ParseDouble(QStringLiteral(".5")), 0.5);
    EXPECT_EQ(ParseDouble(QStringLiteral("+4.685")), 4.685);
    EXPECT_EQ(ParseDouble(QStringLiteral("100000000")), 1e8);
    for (const char* refused : {"", "abc", "1,5", "inf", "nan", "0x10", "1e999", "1.2.3", "5-", "1e", "ä"})
        EXPECT_FALSE(ParseDouble(QString::fromUtf8(refused)).has_value()) << refused;
}

TEST(DataExchangeFormat, DoublesAsPrintfGeneralWith15Digits)
{
    for (double value : {1e-5, 0.1, 1.0 / 3.0, 4.685, 100000000.0, 1e21, 123456789012345678.0, -2.5e-300, 0.0})
        EXPECT_EQ(FormatDouble(value), Printf15g(value)) << value;
    EXPECT_EQ(FormatDouble(1e-5), QStringLiteral("1e-05"));
}

TEST(DataExchangeFormat, PointStaysAPointUnderAGermanLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 not installed";
    const QString shown = FormatDouble(2.5);
    const auto parsed = ParseDouble(QStringLiteral("2.5"));
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(shown, QStringLiteral("2.5"));
    EXPECT_EQ(parsed, 2.5);
}

TEST(DataExchangeMessages, RangeMessageShowsBothLimitsInTheGeneralFormat)
{
    EXPECT_EQ(platform::RangeMessage(0.0, 100000000.0),
              QStringLiteral("Geben Sie bitte eine Zahl zwischen 0 und 100000000 ein."));
    EXPECT_EQ(platform::IntegerMessage(), QStringLiteral("Geben Sie bitte eine ganze Zahl ein."));
    EXPECT_EQ(platform::NumberMessage(), QStringLiteral("Geben Sie bitte eine Zahl ein."));
}

// Three fields in a row: a text, an integer and a double.
class ExchangeForm : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int id : {10, 11, 12}) {
            auto* edit = new QLineEdit(&form);
            edit->setProperty(platform::kControlIdProperty, id);
        }
        Update(false);
        form.show();
        QApplication::setActiveWindow(&form);
    }

    void Exchange(platform::DataExchange& dx)
    {
        dx.Text(10, name);
        dx.Int(11, count);
        dx.Double(12, limit);
    }

    bool Update(bool save)
    {
        return platform::UpdateData(&form, save, [this](platform::DataExchange& dx) { Exchange(dx); });
    }

    QLineEdit* Edit(int id) { return platform::FindControlAs<QLineEdit>(&form, id); }

    void Type(int id, const QString& text)
    {
        Edit(id)->clear();
        QTest::keyClicks(Edit(id), text);
    }

    QWidget form;
    QString name = QStringLiteral("old");
    int count = 5;
    double limit = 0.25;
};

TEST_F(ExchangeForm, WritesMembersInTheirFormats)
{
    limit = 1e-5;
    EXPECT_TRUE(Update(false));
    EXPECT_EQ(Edit(10)->text(), QStringLiteral("old"));
    EXPECT_EQ(Edit(11)->text(), QStringLiteral("5"));
    EXPECT_EQ(Edit(12)->text(), QStringLiteral("1e-05"));
}

TEST_F(ExchangeForm, ReadsEveryFieldWhenAllAreAccepted)
{
    MessageRecorder recorder;
    Type(10, QStringLiteral("neu"));
    Type(11, QStringLiteral("-3"));
    Type(12, QStringLiteral("7.5e2"));
    EXPECT_TRUE(Update(true));
    EXPECT_TRUE(recorder.messages.isEmpty());
    EXPECT_EQ(name, QStringLiteral("neu"));
    EXPECT_EQ(count, -3);
    EXPECT_EQ(limit, 750.0);
}

TEST_F(ExchangeForm, StopsAtTheFirstRefusedFieldWhichGetsTheFocus)
{
    MessageRecorder recorder;
    Type(10, QStringLiteral("neu"));
    Type(11, QStringLiteral("zehn"));
    Type(12, QStringLiteral("9"));
    EXPECT_FALSE(Update(true));
    EXPECT_EQ(recorder.messages, QStringList{platform::IntegerMessage()});
    EXPECT_EQ(name, QStringLiteral("neu"));  // before the refused field: read
    EXPECT_EQ(count, 5);                      // the refused field keeps its value
    EXPECT_EQ(limit, 0.25);                   // after it: not read
    EXPECT_TRUE(Edit(11)->hasFocus());
    EXPECT_EQ(Edit(11)->selectedText(), QStringLiteral("zehn"));
}

TEST_F(ExchangeForm, RefusedDoubleGivesTheNumberMessage)
{
    MessageRecorder recorder;
    Type(12, QStringLiteral("1,5"));
    EXPECT_FALSE(Update(true));
    EXPECT_EQ(recorder.messages, QStringList{platform::NumberMessage()});
    EXPECT_EQ(limit, 0.25);
}

TEST_F(ExchangeForm, RangeCheckIncludesBothLimits)
{
    MessageRecorder recorder;
    double value = 1.5;
    auto exchange = [&](platform::DataExchange& dx) { dx.DoubleInRange(12, value, 0.0, 100000000.0); };
    for (const char* accepted : {"0", "100000000", "42.5"}) {
        Type(12, QString::fromLatin1(accepted));
        EXPECT_TRUE(platform::UpdateData(&form, true, exchange)) << accepted;
        EXPECT_EQ(value, std::stod(accepted));
    }
    value = 1.5;
    for (const char* refused : {"-0.1", "100000001"}) {
        Type(12, QString::fromLatin1(refused));
        EXPECT_FALSE(platform::UpdateData(&form, true, exchange)) << refused;
        EXPECT_EQ(value, 1.5) << refused;
    }
    EXPECT_EQ(recorder.messages, QStringList(2, platform::RangeMessage(0.0, 100000000.0)));
}

TEST(DataExchangeRadio, IndexOfTheCheckedButtonAndMinusOneForNone)
{
    QWidget panel;
    platform::BuildDialog(panel, res::kDialogNormPanel);
    int index = 2;
    auto exchange = [&](platform::DataExchange& dx) { dx.RadioGroup(1014, index); };
    platform::UpdateData(&panel, false, exchange);
    EXPECT_TRUE(platform::FindControlAs<QRadioButton>(&panel, 1016)->isChecked());

    platform::FindControlAs<QRadioButton>(&panel, 1017)->click();
    platform::UpdateData(&panel, true, exchange);
    EXPECT_EQ(index, 3);

    index = -1;
    platform::UpdateData(&panel, false, exchange);
    for (int id = 1014; id <= 1017; ++id)
        EXPECT_FALSE(platform::FindControlAs<QRadioButton>(&panel, id)->isChecked()) << id;
    index = 0;
    platform::UpdateData(&panel, true, exchange);
    EXPECT_EQ(index, -1);
}

} // namespace

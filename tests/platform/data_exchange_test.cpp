#include "platform/data_exchange.h"

#include "platform/dialog_builder.h"
#include "res/control_ids.h"
#include "qt_test_support.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <string>

namespace {

using test_support::MessageRecorder;

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

// Re-reading stops at the first refused field, which gets the focus with
// its text selected: fields before it are read, it and those after it keep
// their values.
TEST_F(ExchangeForm, ReadingStopsAtTheFirstRefusedField)
{
    const struct {
        const char* count;
        const char* limit;
        QString message;       // empty: every field accepted
        int refused;           // the field with the focus
        int countAfter;
        double limitAfter;
    } cases[] = {
        {"-3", "7.5e2", QString(), 0, -3, 750.0},
        {"zehn", "9", platform::IntegerMessage(), 11, 5, 0.25},
        {"8", "1,5", platform::NumberMessage(), 12, 8, 0.25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count + std::string(" ") + c.limit);
        MessageRecorder recorder;
        name = QStringLiteral("old");
        count = 5;
        limit = 0.25;
        Type(10, QStringLiteral("neu"));
        Type(11, QString::fromLatin1(c.count));
        Type(12, QString::fromLatin1(c.limit));
        EXPECT_EQ(Update(true), c.message.isEmpty());
        EXPECT_EQ(recorder.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(name, QStringLiteral("neu"));
        EXPECT_EQ(count, c.countAfter);
        EXPECT_EQ(limit, c.limitAfter);
        if (c.refused != 0) {
            EXPECT_TRUE(Edit(c.refused)->hasFocus());
            EXPECT_EQ(Edit(c.refused)->selectedText(), QString::fromLatin1(c.refused == 11 ? c.count : c.limit));
        }
    }
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
    auto exchange = [&](platform::DataExchange& dx) { dx.RadioGroup(res::norm_panel::kL1Radio, index); };
    platform::UpdateData(&panel, false, exchange);
    EXPECT_TRUE(platform::FindControlAs<QRadioButton>(&panel, res::norm_panel::kChebyshevRadio)->isChecked());

    platform::FindControlAs<QRadioButton>(&panel, res::norm_panel::kAnyFactorRadio)->click();
    platform::UpdateData(&panel, true, exchange);
    EXPECT_EQ(index, 3);

    index = -1;
    platform::UpdateData(&panel, false, exchange);
    for (int id : {res::norm_panel::kL1Radio, res::norm_panel::kL2Radio, res::norm_panel::kChebyshevRadio,
                   res::norm_panel::kAnyFactorRadio})
        EXPECT_FALSE(platform::FindControlAs<QRadioButton>(&panel, id)->isChecked()) << id;
    index = 0;
    platform::UpdateData(&panel, true, exchange);
    EXPECT_EQ(index, -1);
}

} // namespace

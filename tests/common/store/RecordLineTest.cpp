// SPDX-License-Identifier: GPL-3.0-or-later
// The record-line reader and writer over the quirks stored lists and callers rely on.
#include "RecordLine.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* tag;
    QString line;
    int pieces;
    QStringList values; // Value(i) of every piece asked for
    QList<bool> hasValue;
    bool complete;
};

} // namespace

TEST(RecordLine, ReadsByPositionAndWritesBack) {
    const QString undecodable = QStringLiteral("p") + QChar(0xDCE4) + QStringLiteral("w"); // 8-bit
    const Case cases[] = {
        {"in order", "ID=a&PASSWORD=b", 2, {"a", "b"}, {true, true}, true},
        {"keys not compared", "X=a&ID=b", 2, {"a", "b"}, {true, true}, true},
        {"a key twice", "ID=a&ID=b&ID=c", 3, {"a", "b", "c"}, {true, true, true}, true},
        {"= inside a value", "ID=a=b&P==", 2, {"a=b", "="}, {true, true}, true},
        {"the last keeps &", "ID=a&P=b&c=d", 2, {"a", "b&c=d"}, {true, true}, true},
        {"a piece missing", "ID=a", 2, {"a", ""}, {true, false}, false},
        {"a piece without =", "ID=a&b", 2, {"a", ""}, {true, false}, false},
        {"empty value", "ID=&P=", 2, {"", ""}, {true, true}, true},
        {"empty line", "", 1, {""}, {false}, false},
        {"CR LF are text", "ID=a\r\n&P=b\r", 2, {"a\r\n", "b\r"}, {true, true}, true},
        {"8-bit bytes kept", "ID=u&P=" + undecodable, 2, {"u", undecodable}, {true, true}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        const RecordLine read(c.line, c.pieces);
        EXPECT_LE(read.Size(), c.pieces);
        for (int i = 0; i < c.pieces; ++i) {
            EXPECT_EQ(read.Value(i), c.values.at(i)) << i;
            EXPECT_EQ(read.HasValue(i), c.hasValue.at(i)) << i;
        }
        EXPECT_EQ(read.IsComplete(), c.complete);
    }
    EXPECT_EQ(RecordLine::Write({{"ID", "a&b"}, {"IP Address", "h=1"}, {"Enable", ""}}),
              QStringLiteral("ID=a&b&IP Address=h=1&Enable="));
    EXPECT_EQ(RecordLine::Write({}), QString());
}

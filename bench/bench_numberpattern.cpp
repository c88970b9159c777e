// Benchmark of the number pictures: the numbers one reply puts on the window
// (counters, converter readings, temperatures, percentages), written with the
// program's formatter and with the reference it replaced. Prints results;
// never asserts on timing.
#include <chrono>
#include <cstdio>
#include <vector>

#include <QString>

#include "support/numberpattern_reference.h"
#include "text/numberpattern.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Number {
    double value;
    const char16_t *picture;
};

// One reply's worth, as the window writes them.
const std::vector<Number> kReply = {{8388607.0, u"0 000 000"},
                                    {-123456.0, u"0 000 000"},
                                    {1234567.0, u"0 000 000"},
                                    {-76543.0, u"0 000 000"},
                                    {-4321.0, u"# ### ##0"},
                                    {98765.0, u"# ### ##0"},
                                    {103312.0, u"# ### ##0"},
                                    {12.3456, u"#0.000"},
                                    {-187.25, u"##0.00"},
                                    {4.99995, u"0.000"},
                                    {23.45, u"0.0"},
                                    {-12.05, u"0.0"},
                                    {41.5, u"0.0"},
                                    {32768.0, u"## ##0"},
                                    {40000.0, u"## ##0"},
                                    {2013.0, u"0000"},
                                    {6.0, u"00"},
                                    {1234.0, u"0"},
                                    {57.14285714, u"0"},
                                    {63.2, u"0.0"},
                                    {12345678.0, u"# ### ### ##0"},
                                    {12345679.0, u"# ### ### ##0"}};

template <typename Format> double nanosecondsPerNumber(Format format)
{
    const int rounds = 50'000;
    qsizetype total = 0;
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
        for (const Number &n : kReply)
            total += format(n.value + (i & 7), QStringView(n.picture)).size();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (total == 0) std::puts("");
    return seconds * 1e9 / (double(rounds) * double(kReply.size()));
}

} // namespace

int main()
{
    const double now = nanosecondsPerNumber(
        [](double value, QStringView picture) { return formatPattern(value, picture); });
    const double before = nanosecondsPerNumber([](double value, QStringView picture) {
        return reference::formatPattern(value, picture, localeDecimalSeparator());
    });
    std::printf("number pictures, %zu numbers of a reply:\n", kReply.size());
    std::printf("  formatPattern            %7.1f ns per number\n", now);
    std::printf("  reference formatter      %7.1f ns per number (before the rewrite, without "
                "its locale look-up)\n",
                before);
    return 0;
}

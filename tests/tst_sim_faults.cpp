// The simulator's fault schedule, reply tags, broken CRCs, chunking, line
// pacing and the timed writing of a reply's pieces.
#include <QtTest>

#include "frame/mbbuffers.h"
#include "frame/mbframe.h"
#include "protocol/instrument_protocol.h"
#include "sim/reply_writer.h"
#include "sim/sim_faults.h"

#include <vector>

class TestSimFaults : public QObject {
    Q_OBJECT
private slots:
    void noFaultsByDefault()
    {
        FaultSchedule schedule{SimFaults{}};
        for (int i = 0; i < 1000; ++i) {
            const ExchangeFaults fate = schedule.next();
            QVERIFY(!fate.drop);
            QVERIFY(!fate.corruptCrc);
            QCOMPARE(fate.resultCode, 0);
            QVERIFY(!fate.tag);
        }
        QCOMPARE(schedule.replies(), 1000u);
    }

    void everyNthRequestAndReply()
    {
        SimFaults faults;
        faults.dropEvery = 3;
        faults.corruptEvery = 2;
        faults.errorCode = 200;
        faults.errorEvery = 4;
        faults.tagReplies = true;
        FaultSchedule schedule(faults);
        QList<int> dropped, corrupted, errors;
        QList<quint32> tags;
        for (int request = 1; request <= 12; ++request) {
            const ExchangeFaults fate = schedule.next();
            if (fate.drop) {
                dropped << request;
                QVERIFY(!fate.tag);
                continue;
            }
            if (fate.corruptCrc) corrupted << request;
            if (fate.resultCode == 200) errors << request;
            tags << *fate.tag;
        }
        QCOMPARE(dropped, QList<int>({3, 6, 9, 12}));
        // Replies leave for requests 1 2 4 5 7 8 10 11: every 2nd and 4th of those.
        QCOMPARE(corrupted, QList<int>({2, 5, 8, 11}));
        QCOMPARE(errors, QList<int>({5, 11}));
        QCOMPARE(tags, QList<quint32>({1, 2, 3, 4, 5, 6, 7, 8}));
        QCOMPARE(schedule.requests(), 12u);
        QCOMPARE(schedule.replies(), 8u);
    }

    void tagsTravelInTheRawCH1ReadingAndWrap()
    {
        InstrumentReply reply;
        reply.ADValueCH0 = 17;
        applyReplyTag(reply, 4711);
        QCOMPARE(replyTag(reply), 4711u);
        QCOMPARE(reply.ADValueCH0, 17);

        // Through the layout: the tag reads back from the reply's bytes.
        mb::MBTXDataBuffer tx;
        QVERIFY(writeReply(tx, reply));
        mb::MBRXDataBuffer rx;
        QVERIFY(rx.loadFrame(tx.buildFrame(0x81, 0, 0)));
        QCOMPARE(replyTag(readReply(rx)), 4711u);

        applyReplyTag(reply, HighestReplyTag);
        QCOMPARE(reply.ADValueCH1, instrument::ConverterFullScale);

        SimFaults faults;
        faults.tagReplies = true;
        FaultSchedule schedule(faults);
        quint32 last = 0;
        for (quint32 i = 0; i < HighestReplyTag; ++i)
            last = *schedule.next().tag;
        QCOMPARE(last, HighestReplyTag);
        QCOMPARE(*schedule.next().tag, 1u);
    }

    void aCorruptedCrcIsRefused()
    {
        const std::vector<std::uint8_t> data = {1, 2, 3};
        std::vector<std::uint8_t> frame = mb::makeFrame(0x81, 0, 0, data);
        QVERIFY(mb::frameCrcOk(frame));
        corruptCrc(frame);
        QVERIFY(!mb::frameCrcOk(frame));
    }

    void chunksCoverTheReplyAndRepeatWithTheSeed()
    {
        QByteArray line(186, '\0');
        for (int i = 0; i < line.size(); ++i)
            line[i] = char(i);
        ChunkSplitter a(5), b(5), c(6);
        const auto chunksA = a.split(line);
        QVERIFY(chunksA.size() > 1);
        QByteArray joined;
        for (const QByteArray &chunk : chunksA) {
            QVERIFY(chunk.size() >= 1 && chunk.size() <= 32);
            joined += chunk;
        }
        QCOMPARE(joined, line);
        QVERIFY(chunksA == b.split(line));
        QVERIFY(!(chunksA == c.split(line)));
        QVERIFY(ChunkSplitter(1).split(QByteArray()).empty());
    }

    void lineTimeIsTwentyBitTimesPerFrameByte()
    {
        QCOMPARE(characterTime(186, 115200), std::chrono::microseconds(16146));
        using std::chrono::microseconds;
        // 98 data bytes + 5 = 103 frame bytes at 115200 baud: 2060 bits.
        QCOMPARE(lineTime(103, 115200), microseconds(17882));
        QCOMPARE(lineTime(93, 115200), microseconds(16146));
        QCOMPARE(lineTime(1, 9600), microseconds(2084));
        QCOMPARE(lineTime(0, 9600), microseconds(0));
        QCOMPARE(lineTime(10, 0), microseconds(0));
    }

    // A reply's 186 characters as an adapter hands them over: those whose
    // last bit ends within the same period go together.
    void piecesOfLineTime_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("periodUs");
        QTest::addColumn<QList<int>>("sizes");
        // 86.8 us a character: 11 or 12 end within each millisecond, and the
        // last two after the sixteenth.
        QTest::newRow("1 ms at 115200")
            << 115200 << 1000
            << QList<int>{11, 12, 11, 12, 11, 12, 11, 12, 11, 12, 11, 12, 11, 12, 11, 12, 2};
        QTest::newRow("16 ms at 115200") << 115200 << 16000 << QList<int>{184, 2};
        QTest::newRow("whole reply in one period") << 115200 << 1000000 << QList<int>{186};
        QTest::newRow("character by character") << 115200 << 0 << QList<int>(186, 1);
        // 1.04 ms a character: no two end within one millisecond.
        QTest::newRow("1 ms at 9600") << 9600 << 1000 << QList<int>(186, 1);
    }
    void piecesOfLineTime()
    {
        QFETCH(int, baud);
        QFETCH(int, periodUs);
        QFETCH(QList<int>, sizes);
        QByteArray line(186, '\0');
        for (int i = 0; i < line.size(); ++i)
            line[i] = char('A' + i % 26);
        const auto parts =
            ReplyWriter::cutByLineTime(line, baud, std::chrono::microseconds(periodUs));
        QList<int> got;
        QByteArray joined;
        for (const QByteArray &part : parts) {
            got << int(part.size());
            joined += part;
        }
        QCOMPARE(got, sizes);
        QCOMPARE(joined, line);
    }

    // Every piece leaves once the line has carried its last character, never
    // before; pieces found due together leave in one write when merged, one
    // write each when kept apart.
    void piecesLeaveOnTimeMergedOrApart()
    {
        using Clock = ReplyWriter::Clock;
        struct Write {
            Clock::time_point at;
            QByteArray characters;
        };
        std::vector<Write> writes;
        ReplyWriter writer([&](const QByteArray &characters) {
            writes.push_back({Clock::now(), characters});
            return true;
        });
        QSignalSpy finished(&writer, &ReplyWriter::finished);
        const QByteArray line(24, 'x');
        const std::vector<QByteArray> parts =
            ReplyWriter::cutByLineTime(line, 115200, std::chrono::microseconds(0));
        const auto start = Clock::now() + std::chrono::milliseconds(2);
        const auto pieces = ReplyWriter::paced(parts, start, 115200);
        writer.start(pieces, ReplyWriter::Catching::Merge);
        QVERIFY(finished.wait(5000));
        QByteArray joined;
        for (const Write &write : writes) {
            joined += write.characters;
            QVERIFY(write.at >= pieces[std::size_t(joined.size()) - 1].due);
        }
        QCOMPARE(joined, line);

        // Late already: all three due at once.
        const std::vector<QByteArray> three{"ab", "cd", "ef"};
        for (const auto catching : {ReplyWriter::Catching::Merge, ReplyWriter::Catching::Apart}) {
            writes.clear();
            writer.start(ReplyWriter::spaced(three, Clock::now() - std::chrono::seconds(1),
                                             std::chrono::microseconds(10)),
                         catching);
            QCOMPARE(finished.count(), catching == ReplyWriter::Catching::Merge ? 2 : 3);
            QCOMPARE(writes.size(), catching == ReplyWriter::Catching::Merge ? 1u : 3u);
            QCOMPARE(writes.front().characters,
                     QByteArray(catching == ReplyWriter::Catching::Merge ? "abcdef" : "ab"));
        }
    }
};

QTEST_MAIN(TestSimFaults)
#include "tst_sim_faults.moc"

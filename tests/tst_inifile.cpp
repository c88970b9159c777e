// The initialisation file: where it lives, what it holds, its exact layout,
// and how it copes with damaged files and places it cannot write.
#include <QtTest>

#include "app/inifile.h"
#include "app/profile.h"

#include <unistd.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Permission bits do not stop a privileged user; such a run cannot show the
// unwritable case.
bool permissionBitsStopWrites(const QString &folder)
{
    QFile probe(folder + QStringLiteral("/probe"));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.close();
        probe.remove();
        return false;
    }
    return true;
}

} // namespace

class TestIniFile : public QObject {
    Q_OBJECT
private slots:
    void pathBesideExecutable_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("ini");
        QTest::newRow("no extension") << "/opt/kx/kx4720r-config"
                                      << "/opt/kx/kx4720r-config.ini";
        QTest::newRow("extension replaced") << "/opt/kx/prog.exe"
                                            << "/opt/kx/prog.ini";
        QTest::newRow("dot in folder only") << "/opt/kx.d/prog"
                                            << "/opt/kx.d/prog.ini";
    }
    void pathBesideExecutable()
    {
        QFETCH(QString, executable);
        QFETCH(QString, ini);
        QCOMPARE(iniPathBesideExecutable(executable), ini);
    }

    void runningProgramUsesFileBesideExecutable()
    {
        const IniFile file = IniFile::forThisProgram();
        const QString beside = QCoreApplication::applicationFilePath() + QStringLiteral(".ini");
        const QString fallback =
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/") + QFileInfo(beside).fileName();
        const bool writable = QFileInfo(QCoreApplication::applicationDirPath()).isWritable();
        QCOMPARE(file.location().writePath, writable ? beside : fallback);
    }

    void dateTextFormats_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        QTest::newRow("C") << QLocale::c() << "9 Oct 2013   08:05:07";
        QTest::newRow("hu_HU") << QLocale(QLocale::Hungarian, QLocale::Hungary)
                               << "2013. 10. 09.   8:05:07";
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates)
                               << "10/9/13   8:05:07 AM";
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany)
                               << "09.10.13   08:05:07";
    }
    void dateTextFormats()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, text);
        const QDateTime when(QDate(2013, 10, 9), QTime(8, 5, 7));
        QCOMPARE(iniDateText(when, locale), text);
    }

    void roundTripWritesThreeSectionsInOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kx.ini"));
        IniSettings settings;
        settings.date = iniDateText(QDateTime(QDate(2013, 10, 9), QTime(8, 5, 7)), QLocale::c());
        settings.lastUsedPort = QStringLiteral("/dev/ttyUSB0");
        settings.languageName = QStringLiteral("english");

        const IniSaveResult result = IniFile(path).save(settings);
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.path, path);
        QCOMPARE(readAll(path), QByteArray("[Date]\n"
                                           "Date=9 Oct 2013   08:05:07\n"
                                           "[Com]\n"
                                           "MBLastUsedPort=/dev/ttyUSB0\n"
                                           "[Language]\n"
                                           "GsSelectedLanguage=english\n"));
        QCOMPARE(IniFile(path).load(), settings);
    }

    void savingReordersAndKeepsForeignEntries()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kx.ini"));
        // Lines before the first section belong to none and stay on top; the
        // file's own line ends are kept; the rest is kept byte for byte
        // (Windows-1250 text, control characters, a last line without end that
        // ends in a carriage return).
        writeAll(path,
                 QByteArrayLiteral(
                     "; site notes\r\n"
                     "[Megjegyz\xE9s]\r\nsz\xF6veg=\xE1rv\xEDzt\xFBr\xF5\r\nctl=a\x01"
                     "b\r\n"
                     "\tindented = x \r\n"
                     "[Language]\r\nGsSelectedLanguage=magyar\r\nSzerz\xF5=\xC1gnes\r\n"
                     "[com]\r\nmblastusedport=/dev/ttyS0\r\nbinary=\x00\xFF\x7F\r\nno end\r"));
        IniSettings settings;
        settings.lastUsedPort = QStringLiteral("/dev/ttyACM0");
        settings.languageName = QStringLiteral("english");
        settings.date = QStringLiteral("d   t");
        QVERIFY(IniFile(path).save(settings));
        const QByteArray expected =
            QByteArrayLiteral("; site notes\r\n"
                              "[Date]\r\nDate=d   t\r\n"
                              "[Com]\r\nMBLastUsedPort=/dev/ttyACM0\r\n"
                              "binary=\x00\xFF\x7F\r\nno end\r\r\n"
                              "[Language]\r\nGsSelectedLanguage=english\r\nSzerz\xF5=\xC1gnes\r\n"
                              "[Megjegyz\xE9s]\r\nsz\xF6veg=\xE1rv\xEDzt\xFBr\xF5\r\nctl=a\x01"
                              "b\r\n\tindented = x \r\n");
        QCOMPARE(readAll(path), expected);
        QCOMPARE(IniFile(path).load(), settings);
        // Text that is not UTF-8 reads as Windows-1250.
        QCOMPARE(ProfileDocument(expected).value(u"megjegyzés", u"szöveg"), u"árvíztűrő"_qs);
    }

    void missingFileOrKeysGiveDefaults()
    {
        QTemporaryDir dir;
        const IniSettings defaults = IniFile(dir.filePath(QStringLiteral("none.ini"))).load();
        QCOMPARE(defaults.languageName, QStringLiteral("magyar"));
        QVERIFY(defaults.lastUsedPort.isEmpty());
        QVERIFY(defaults.date.isEmpty());

        const QString path = dir.filePath(QStringLiteral("partial.ini"));
        writeAll(path, "[Com]\nMBLastUsedPort=/dev/ttyUSB1\n");
        const IniSettings partial = IniFile(path).load();
        QCOMPARE(partial.lastUsedPort, QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(partial.languageName, QStringLiteral("magyar"));
    }

    void readerIsLenientAboutLayout()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kx.ini"));
        writeAll(path, "\xEF\xBB\xBF"
                       "GsSelectedLanguage=nowhere\n"
                       "; a comment\n"
                       "  [ LANGUAGE ]  \r\n"
                       "  gsselectedlanguage  =  English  \r\n"
                       "GsSelectedLanguage=second wins not\n"
                       "[Com\n"
                       "MBLastUsedPort=after broken header\n"
                       "[Com]\n"
                       "MBLastUsedPort=/dev/pts/7=odd\n");
        const IniSettings settings = IniFile(path).load();
        QCOMPARE(settings.languageName, QStringLiteral("English"));
        QCOMPARE(settings.lastUsedPort, QStringLiteral("/dev/pts/7=odd"));
    }

    void damagedFilesGiveDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("port");

        QByteArray garbage;
        quint32 seed = 12345;
        for (int i = 0; i < 64 * 1024; ++i) {
            seed = seed * 1103515245u + 12345u;
            garbage.append(char(seed >> 24));
        }
        const QByteArray valid = "[Com]\nMBLastUsedPort=/dev/ttyUSB0\n[Language]\n"
                                 "GsSelectedLanguage=english\n";

        QTest::newRow("empty") << QByteArray() << "magyar"
                               << "";
        QTest::newRow("only a BOM") << QByteArray("\xEF\xBB\xBF") << "magyar"
                                    << "";
        QTest::newRow("binary garbage") << garbage << "magyar"
                                        << "";
        QTest::newRow("garbage then valid") << garbage + "\n" + valid << "english"
                                            << "/dev/ttyUSB0";
        QTest::newRow("NUL inside a value")
            << QByteArray("[Com]\nMBLastUsedPort=/dev/tty") + '\0' + "USB0\n"
            << "magyar"
            << "";
        QTest::newRow("long line then valid")
            << QByteArray(500 * 1024, 'x') + "\n" + valid << "english"
            << "/dev/ttyUSB0";
        QTest::newRow("long value") << "[Com]\nMBLastUsedPort=" + QByteArray(200 * 1024, 'p')
                                    << "magyar" << QString(200 * 1024, u'p');
    }
    void damagedFilesGiveDefaults()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, language);
        QFETCH(QString, port);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kx.ini"));
        writeAll(path, content);
        const IniSettings settings = IniFile(path).load();
        QCOMPARE(settings.languageName, language);
        QCOMPARE(settings.lastUsedPort, port);

        // A damaged file holds good settings after the next close.
        IniSettings saved;
        saved.languageName = QStringLiteral("english");
        QVERIFY(IniFile(path).save(saved));
        QCOMPARE(IniFile(path).load(), saved);
    }

    void valuesCannotBreakTheirLine()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kx.ini"));
        IniSettings settings;
        settings.lastUsedPort =
            QStringLiteral("/dev/ttyS0\n[Language]\nGsSelectedLanguage=english");
        settings.languageName = QStringLiteral("magyar");
        QVERIFY(IniFile(path).save(settings));
        const IniSettings loaded = IniFile(path).load();
        QCOMPARE(loaded.languageName, QStringLiteral("magyar"));
        QVERIFY(!loaded.lastUsedPort.contains(u'\n'));
        QCOMPARE(ProfileDocument(readAll(path)).sectionNames(),
                 QStringList({"Date", "Com", "Language"}));
    }

    void namesWithTabsStayApartAfterASave()
    {
        // A hand-edited key with a tab inside is another key; written without
        // its tab it would come first under the real name on the next read.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kx.ini"));
        writeAll(path, "[Com]\nMB\tLastUsedPort=/dev/ttyS9\nMBLastUsedPort=/dev/ttyS0\n");
        IniSettings settings = IniFile(path).load();
        QCOMPARE(settings.lastUsedPort, QStringLiteral("/dev/ttyS0"));
        settings.lastUsedPort = QStringLiteral("/dev/ttyACM0");
        QVERIFY(IniFile(path).save(settings));
        QCOMPARE(IniFile(path).load().lastUsedPort, QStringLiteral("/dev/ttyACM0"));
        QVERIFY(readAll(path).contains("MB\tLastUsedPort=/dev/ttyS9\n"));
    }

    void largeFilesAreReadAndUnreadableOnesKept()
    {
        // A user's notes of some mebibytes: read, and kept whole.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kx.ini"));
        QByteArray notes = "[Notes]\n";
        while (notes.size() < 3 * 1024 * 1024)
            notes += "A line of the technician's notes, kept as written.\n";
        writeAll(path, notes + "[Language]\nGsSelectedLanguage=english\n");
        IniSettings settings = IniFile(path).load();
        QCOMPARE(settings.languageName, QStringLiteral("english"));
        settings.date = QStringLiteral("d   t");
        QVERIFY(IniFile(path).save(settings));
        QCOMPARE(readAll(path), "[Date]\nDate=d   t\n[Com]\nMBLastUsedPort=\n"
                                "[Language]\nGsSelectedLanguage=english\n" +
                                    notes);

        // Beyond what is read at all (a sparse file, no disk used): defaults,
        // and the file is not replaced at close.
        const QString huge = dir.filePath(QStringLiteral("huge.ini"));
        writeAll(huge, "[Language]\nGsSelectedLanguage=english\n");
        QVERIFY(QFile::resize(huge, ProfileDocument::kMaxBytes + 1));
        QCOMPARE(IniFile(huge).load(), IniSettings{});
        const IniSaveResult refused = IniFile(huge).save(settings);
        QVERIFY(!refused.ok);
        QVERIFY(refused.error.contains(QStringLiteral("left as it is")));
        QCOMPARE(QFileInfo(huge).size(), ProfileDocument::kMaxBytes + 1);
        QFile file(huge);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(40), QByteArray("[Language]\nGsSelectedLanguage=english\n\0\0", 40));
    }

    void unwritablePlacesGiveAnErrorResult()
    {
        QTemporaryDir dir;
        // A regular file where the folder should be: no privilege helps here.
        const QString blocker = dir.filePath(QStringLiteral("blocker"));
        writeAll(blocker, "x");
        const IniSaveResult underFile = IniFile(blocker + QStringLiteral("/kx.ini")).save({});
        QVERIFY(!underFile.ok);
        QVERIFY(!underFile.error.isEmpty());

        // A folder where the file should be.
        const QString folder = dir.filePath(QStringLiteral("folder.ini"));
        QVERIFY(QDir().mkdir(folder));
        const IniSaveResult onFolder = IniFile(folder).save({});
        QVERIFY(!onFolder.ok);
        QVERIFY(!onFolder.error.isEmpty());
        QCOMPARE(IniFile(folder).load(), IniSettings{});

        QVERIFY(!IniFile(IniLocation{}).save({}).ok);
    }

    void readOnlyFolderGivesAnErrorResult()
    {
        QTemporaryDir dir;
        const QString locked = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkdir(locked));
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
        const bool stopped = permissionBitsStopWrites(locked);
        const IniSaveResult result = IniFile(locked + QStringLiteral("/kx.ini")).save({});
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (!stopped) QSKIP("permission bits do not stop this user's writes");
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
    }

    void fallbackWhenExecutableFolderIsNotWritable()
    {
        QTemporaryDir dir;
        const QString fallback = dir.filePath(QStringLiteral("config/kx.ini"));
        // Writable folder: beside the executable, read and write.
        const QString beside = dir.filePath(QStringLiteral("kx.ini"));
        IniLocation location = resolveIniLocation(beside, fallback);
        QCOMPARE(location.writePath, beside);
        QCOMPARE(location.readPath, beside);

        // The executable's "folder" cannot hold files at all.
        const QString blocker = dir.filePath(QStringLiteral("bin"));
        writeAll(blocker, "x");
        location = resolveIniLocation(blocker + QStringLiteral("/kx.ini"), fallback);
        QCOMPARE(location.writePath, fallback);
        QCOMPARE(location.readPath, fallback);

        // An installed program's folder is the system's, even for root, who may write there.
        location = resolveIniLocation(QStringLiteral("/usr/bin/kx.ini"), fallback);
        QCOMPARE(location.writePath, fallback);

        // Saving there creates the configuration folder, and the next run reads it back.
        IniSettings settings;
        settings.languageName = QStringLiteral("english");
        QVERIFY(IniFile(location).save(settings));
        QCOMPARE(IniFile(resolveIniLocation(blocker + QStringLiteral("/kx.ini"), fallback)).load(),
                 settings);
    }

    void copyWithItsOwnPlaceNeverReadsTheUsersFolder()
    {
        // Another copy's settings in the user's folder; this copy's folder is
        // writable but holds no file yet.
        QTemporaryDir dir;
        QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("bin"))));
        const QString beside = dir.filePath(QStringLiteral("bin/kx.ini"));
        QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("config"))));
        const QString fallback = dir.filePath(QStringLiteral("config/kx.ini"));
        const QByteArray other = "[Com]\nMBLastUsedPort=/dev/ttyUSB7\n"
                                 "[Language]\nGsSelectedLanguage=english\n";
        writeAll(fallback, other);

        const IniLocation location = resolveIniLocation(beside, fallback);
        QCOMPARE(location.readPath, beside);
        QCOMPARE(location.writePath, beside);
        const IniFile file(location);
        IniSettings settings = file.load();
        QCOMPARE(settings, IniSettings{});
        settings.lastUsedPort = QStringLiteral("/dev/ttyS1");
        QVERIFY(file.save(settings));
        QCOMPARE(IniFile(beside).load(), settings);
        QCOMPARE(readAll(fallback), other);
    }

    void installedCopySeedsFromTheSystemFolder()
    {
        // An installed copy (in /usr/bin) whose administrator put a file in
        // the system's configuration folder; the user has none yet.
        QTemporaryDir dir;
        QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("etc"))));
        const QString seed = dir.filePath(QStringLiteral("etc/kx.ini"));
        writeAll(seed, "[Language]\nGsSelectedLanguage=english\n[Site]\nowner=admin\n");
        const QString installed = QStringLiteral("/usr/bin/kx.ini");
        const QString fallback = dir.filePath(QStringLiteral("config/kx.ini"));

        const IniLocation first = resolveIniLocation(installed, fallback, seed);
        QCOMPARE(first.readPath, seed);
        QCOMPARE(first.writePath, fallback);
        IniSettings settings = IniFile(first).load();
        QCOMPARE(settings.languageName, QStringLiteral("english"));
        settings.lastUsedPort = QStringLiteral("/dev/ttyUSB3");
        QVERIFY(IniFile(first).save(settings));
        QVERIFY(readAll(fallback).contains("owner=admin"));
        QVERIFY(!readAll(seed).contains("ttyUSB3"));

        // From then on the user's own file, never the seed again.
        QCOMPARE(resolveIniLocation(installed, fallback, seed).readPath, fallback);
        // A copy that can write beside itself reads neither.
        const QString beside = dir.filePath(QStringLiteral("kx.ini"));
        QCOMPARE(resolveIniLocation(beside, fallback, seed).readPath, beside);
    }

    void fallbackForReadOnlyExecutableFolder()
    {
        QTemporaryDir dir;
        const QString bin = dir.filePath(QStringLiteral("bin"));
        QVERIFY(QDir().mkdir(bin));
        const QString beside = bin + QStringLiteral("/kx.ini");
        writeAll(beside, "[Language]\nGsSelectedLanguage=english\n[Site]\nowner=admin\n");
        const QString fallback = dir.filePath(QStringLiteral("config/kx.ini"));
        QVERIFY(QFile::setPermissions(beside, QFile::ReadOwner));
        QVERIFY(QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner));
        const bool stopped = permissionBitsStopWrites(bin);
        const IniLocation first = resolveIniLocation(beside, fallback);
        IniSaveResult saved;
        if (stopped) {
            IniFile file(first);
            IniSettings settings = file.load();
            settings.lastUsedPort = QStringLiteral("/dev/ttyUSB3");
            saved = file.save(settings);
        }
        QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(beside, QFile::ReadOwner | QFile::WriteOwner);
        if (!stopped) QSKIP("permission bits do not stop this user's writes");

        // The file beside the executable seeds the first run; the user's copy
        // is written and read from then on.
        QCOMPARE(first.writePath, fallback);
        QCOMPARE(first.readPath, beside);
        QVERIFY2(saved.ok, qPrintable(saved.error));
        const QByteArray written = readAll(fallback);
        QVERIFY(written.contains("GsSelectedLanguage=english"));
        QVERIFY(written.contains("MBLastUsedPort=/dev/ttyUSB3"));
        QVERIFY(written.contains("owner=admin"));
        QVERIFY(readAll(beside).contains("[Site]"));
        QVERIFY(!readAll(beside).contains("ttyUSB3"));
    }

    void readOnlyFileGivesAnErrorResult()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kx.ini"));
        writeAll(path, "[Language]\nGsSelectedLanguage=english\n");
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));
        const bool stopped = !QFileInfo(path).isWritable();
        const IniSaveResult result = IniFile(path).save({});
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        if (!stopped) QSKIP("permission bits do not stop this user's writes");
        QVERIFY(!result.ok);
        QCOMPARE(IniFile(path).load().languageName, QStringLiteral("english"));
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"

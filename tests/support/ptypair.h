// A pseudo-terminal pair for link tests: the program side opens slavePath()
// like a serial port, the test plays the device on the master descriptor.
#pragma once

#include <QByteArray>
#include <QString>

class PtyPair {
public:
    // Opens the pair; both ends raw (no echo, no line editing), the master
    // non-blocking. The pair keeps a descriptor of the slave side open so the
    // master keeps working while the program has the port closed.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    // Writes everything (waiting for room if the line is full); false on error.
    bool write(const QByteArray &bytes);
    // What the program has written so far and not yet been read.
    QByteArray readAvailable();
    // Hangs the line up, as a pulled USB adapter does.
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

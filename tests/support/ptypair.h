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
    // The pair's own descriptor of the program side (what waits there, the
    // line's flags).
    int slaveFd() const { return m_slave; }

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

// Another program holding a port the way cat, screen or a script with
// default settings do: a child process with the device open, no lock taken,
// nothing else shared with the test. exclusive sets TIOCEXCL as well;
// lockFile writes the port's lock file naming the child, as minicom does.
// The child lets go when this object goes.
class PortHolderProcess {
public:
    PortHolderProcess(const QString &path, bool exclusive, bool lockFile = false);
    int pid() const { return m_pid; }
    ~PortHolderProcess();
    PortHolderProcess(const PortHolderProcess &) = delete;
    PortHolderProcess &operator=(const PortHolderProcess &) = delete;

    // True once the child has the device open.
    bool isHolding() const { return m_holding; }

private:
    int m_pid = -1;
    int m_release = -1; // closing it ends the child
    QByteArray m_lockFile;
    bool m_holding = false;
};

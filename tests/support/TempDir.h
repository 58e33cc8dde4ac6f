#pragma once
// A temporary folder removed at the end of a test, with small helpers for the files in it.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace keskor::test {

class TempDir {
public:
    TempDir();
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;

private:
    QTemporaryDir m_dir;
};

} // namespace keskor::test

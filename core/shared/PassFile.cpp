#include "core/shared/PassFile.h"

#include "core/shared/CommonException.h"
#include "core/shared/FingerPrintHelper.h"
#include "core/shared/PassFileCodec.h"

#include <QIODevice>
#include <sodium.h>

namespace keskor {

namespace {
QByteArray newSalt() {
    ensureCryptoReady();
    QByteArray salt(crypto_pwhash_SALTBYTES, Qt::Uninitialized);
    randombytes_buf(salt.data(), static_cast<std::size_t>(salt.size()));
    return salt;
}
} // namespace

PassFile::PassFile() : m_root(std::make_shared<Info2Item>()) {
    m_root->isFolder = true;
    m_root->type = Info2Item::TypeFolder;
}

PassFile::PassFile(const PassFile& other)
    : encrypted(other.encrypted), compressed(other.compressed), krServer(other.krServer),
      serverTime(other.serverTime), serverPort(other.serverPort), serverUser(other.serverUser),
      offline(other.offline), encType(other.encType), kdfType(other.kdfType),
      comments(other.comments), lastSyncTime(other.lastSyncTime),
      lastExpiryCheck(other.lastExpiryCheck), lastModified(other.lastModified),
      lastBackup(other.lastBackup), hint(other.hint), fingerprint(other.fingerprint),
      backupInterval(other.backupInterval), backupPath(other.backupPath),
      backupServer(other.backupServer), backupLocation(other.backupLocation),
      lastShowEditPass(other.lastShowEditPass), keepHistory(other.keepHistory),
      maxHistory(other.maxHistory), serverId(other.serverId), currentUserId(other.currentUserId),
      userRights(other.userRights), allowSaveAs(other.allowSaveAs), allowExport(other.allowExport),
      secondKeys(other.secondKeys), m_fileType(other.m_fileType), m_authType(other.m_authType),
      m_advanced(other.m_advanced), m_hasBody(other.m_hasBody), m_modified(other.m_modified),
      m_kdf(other.m_kdf), m_root(std::make_shared<Info2Item>(*other.m_root)),
      m_ignoredUrls(other.m_ignoredUrls) {}

PassFile& PassFile::operator=(const PassFile& other) {
    if (this != &other) {
        PassFile copy(other);
        *this = std::move(copy);
    }
    return *this;
}

PassFile PassFile::createNewFile(FileType fileType, const std::optional<QString>& hint,
                                 AuthenticationType authType, bool isAdvanceEncryption) {
    PassFile file;
    file.m_fileType = fileType;
    file.m_authType = authType;
    file.m_advanced = isAdvanceEncryption;
    file.hint = hint;
    file.fingerprint = FingerPrintHelper::getNewFingerprint();
    if (isAdvanceEncryption) {
        file.m_kdf.memoryBytes = kAdvancedMemoryBytes;
        file.m_kdf.passes = kAdvancedPasses;
    }
    file.m_kdf.salt = newSalt();
    file.m_hasBody = true;
    return file;
}

void PassFile::load(const QByteArray& text, const Key256* key, bool noKey) {
    PassFileCodec::decode(text, key, noKey, *this);
}

void PassFile::postLoad() {
    // Keys opened by second passwords belong to the session that opened them.
    secondKeys.clear();
}

QByteArray PassFile::getData(const Key256& key) const {
    return PassFileCodec::encode(*this, key);
}

void PassFile::writeTo(QIODevice& out, const Key256& key) const {
    const QByteArray data = getData(key);
    if (out.write(data) != data.size()) {
        throw CommonException(
            QStringLiteral("Could not write the database: %1").arg(out.errorString()));
    }
}

void PassFile::setKdfParameters(std::uint64_t memoryBytes, std::uint32_t passes) {
    m_kdf.memoryBytes = memoryBytes;
    m_kdf.passes = passes;
    m_kdf.salt = newSalt();
}

void PassFile::renewSalt() {
    m_kdf.salt = newSalt();
}

std::shared_ptr<Info2Item> PassFile::findItem(const QString& fp) const {
    return m_root->findDescendant(fp);
}

void PassFile::addIgnoredUrl(const QString& url) {
    if (!m_ignoredUrls.contains(url)) {
        m_ignoredUrls.append(url);
    }
}

bool PassFile::sameContent(const PassFile& o) const {
    return encrypted == o.encrypted && compressed == o.compressed && krServer == o.krServer &&
           serverTime == o.serverTime && serverPort == o.serverPort && serverUser == o.serverUser &&
           offline == o.offline && encType == o.encType && kdfType == o.kdfType &&
           comments == o.comments && lastSyncTime == o.lastSyncTime &&
           lastExpiryCheck == o.lastExpiryCheck && lastModified == o.lastModified &&
           lastBackup == o.lastBackup && hint == o.hint && fingerprint == o.fingerprint &&
           backupInterval == o.backupInterval && backupPath == o.backupPath &&
           backupServer == o.backupServer && backupLocation == o.backupLocation &&
           lastShowEditPass == o.lastShowEditPass && keepHistory == o.keepHistory &&
           maxHistory == o.maxHistory && serverId == o.serverId &&
           currentUserId == o.currentUserId && userRights == o.userRights &&
           allowSaveAs == o.allowSaveAs && allowExport == o.allowExport &&
           m_fileType == o.m_fileType && m_authType == o.m_authType && m_advanced == o.m_advanced &&
           m_ignoredUrls == o.m_ignoredUrls && m_root->sameContent(*o.m_root);
}

} // namespace keskor

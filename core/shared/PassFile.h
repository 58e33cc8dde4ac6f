#pragma once
// The database: its header values, its item tree (under a root folder that has no record of
// its own), the ignored-URL list and the key-derivation parameters the file is sealed with.
//
// Load gets the whole file text: with the "no key" flag only the cleartext header is read (what
// key derivation needs); with a key the body is checked, decrypted and parsed, or the call
// throws and the object is left as it was. Save writes the whole file text.

#include "core/shared/Info2Item.h"
#include "core/shared/Key256.h"
#include "core/shared/SecondKeysStorage.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QIODevice;

namespace keskor {

class PassFile {
public:
    /// Storage form; the enumeration holds any raw value a file carries, so a type this
    /// version cannot write is still seen (and refused) as what it is.
    enum class FileType : int { Plain = 0, Zip = 3 };
    enum class AuthenticationType : int { Password = 0, KeyFile = 1, PasswordAndKeyFile = 2 };

    /// Argon2id parameters and salt of the file.
    struct KdfParameters {
        std::uint64_t memoryBytes = 64ull * 1024 * 1024;
        std::uint32_t passes = 3;
        QByteArray salt;
        bool operator==(const KdfParameters&) const = default;
    };
    static constexpr std::uint64_t kAdvancedMemoryBytes = 256ull * 1024 * 1024;
    static constexpr std::uint32_t kAdvancedPasses = 4;

    PassFile();
    /// Copies are deep: the copy owns its own item tree.
    PassFile(const PassFile& other);
    PassFile& operator=(const PassFile& other);
    PassFile(PassFile&&) noexcept = default;
    PassFile& operator=(PassFile&&) noexcept = default;

    static PassFile createNewFile(FileType fileType, const std::optional<QString>& hint,
                                  AuthenticationType authType, bool isAdvanceEncryption);

    /// Throws CommonException with a user-readable text: not a database, damaged, wrong
    /// credentials, or written by a newer version. Nothing is changed when it throws.
    void load(const QByteArray& text, const Key256* key, bool noKey);
    /// Runs after a successful load: forgets session-only state.
    void postLoad();

    /// The whole file text, sealed with `key` under a fresh nonce.
    QByteArray getData(const Key256& key) const;
    void writeTo(QIODevice& out, const Key256& key) const;

    // Header values (the XML export writes them).
    bool encrypted = true;
    bool compressed = true;
    std::optional<QString> krServer;
    double serverTime = 0.0;
    int serverPort = 0;
    std::optional<QString> serverUser;
    bool offline = false;
    int encType = 1;
    int kdfType = 1;
    std::optional<QString> comments;
    double lastSyncTime = 0.0;
    double lastExpiryCheck = 0.0;
    double lastModified = 0.0;
    double lastBackup = 0.0;
    std::optional<QString> hint;
    QString fingerprint;
    int backupInterval = 0;
    std::optional<QString> backupPath;
    std::optional<QString> backupServer;
    int backupLocation = 0;
    bool lastShowEditPass = false;
    bool keepHistory = true;
    int maxHistory = 3;

    // Enterprise: the server's identifier of the database, the signed-in user and the rights
    // the server grants on the database as a whole.
    std::optional<QString> serverId;
    QString currentUserId;
    std::uint32_t userRights = 0xFFFFFFFFu;
    bool allowSaveAs = true;
    bool allowExport = true;
    bool isEnterprise() const { return krServer.has_value() && !krServer->isEmpty(); }

    FileType fileType() const noexcept { return m_fileType; }
    void setFileType(FileType type) noexcept { m_fileType = type; }
    AuthenticationType authType() const noexcept { return m_authType; }
    void setAuthType(AuthenticationType type) noexcept { m_authType = type; }
    bool isAdvanceEncryption() const noexcept { return m_advanced; }
    const KdfParameters& kdf() const noexcept { return m_kdf; }
    /// New parameters (a new salt when `salt` is empty): the next key derivation runs afresh.
    void setKdfParameters(std::uint64_t memoryBytes, std::uint32_t passes);
    /// A new salt for new credentials.
    void renewSalt();
    /// True once a body was loaded or the file was created (not after a header-only load).
    bool hasBody() const noexcept { return m_hasBody; }

    // Items.
    Info2Item& root() noexcept { return *m_root; }
    const Info2Item& root() const noexcept { return *m_root; }
    const std::vector<std::shared_ptr<Info2Item>>& items() const { return m_root->subItems(); }
    void addItem(std::shared_ptr<Info2Item> item) { m_root->addSubItem(std::move(item)); }
    std::shared_ptr<Info2Item> findItem(const QString& fingerprint) const;
    std::size_t itemCount() const { return m_root->countWithDescendants() - 1; }

    const QStringList& ignoredUrls() const noexcept { return m_ignoredUrls; }
    void addIgnoredUrl(const QString& url);
    void setIgnoredUrls(QStringList urls) { m_ignoredUrls = std::move(urls); }

    SecondKeysStorage secondKeys;

    bool isModified() const noexcept { return m_modified; }
    void setModified(bool modified = true) noexcept { m_modified = modified; }

    bool sameContent(const PassFile& other) const;

private:
    friend class PassFileCodec;
    FileType m_fileType = FileType::Plain;
    AuthenticationType m_authType = AuthenticationType::Password;
    bool m_advanced = false;
    bool m_hasBody = false;
    bool m_modified = false;
    KdfParameters m_kdf;
    std::shared_ptr<Info2Item> m_root;
    QStringList m_ignoredUrls;
};

} // namespace keskor

#include "bridge/WebSocketAddEntryViewController.h"

#include "bridge/SiteIconFetch.h"
#include "core/shared/CommonException.h"
#include "core/shared/DateTimeHelper.h"
#include "platform/FakeClock.h"
#include "testing/HttpServer.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/QtPrinters.h"

#include <QBuffer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QTest>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using keskor::testing::ScriptedPresenter;

/// The site: GET answers from a table of paths, 404 for the others; nothing at all when stalled.
class IconHttpServer : public testing::HttpServer {
public:
    IconHttpServer()
        : HttpServer([this](const Request& r) {
              if (m_stalled) {
                  return Response{0, {}, {}, -1};
              }
              return m_routes.value(r.target.toEncoded(),
                                    Response{404, {{"Content-Type", "text/plain"}}, "not found"});
          }) {}
    QString url(const QString& path = QStringLiteral("/")) const {
        return baseUrl().toString() + path;
    }
    void serve(const QByteArray& path, const QByteArray& type, const QByteArray& body) {
        m_routes[path] = Response{200, {{"Content-Type", type}}, body, -1};
    }
    void stall() { m_stalled = true; }
    QList<QByteArray> requestedPaths() const {
        QList<QByteArray> paths;
        for (const Request& r : requests()) {
            paths.append(r.target.toEncoded());
        }
        return paths;
    }

private:
    QHash<QByteArray, Response> m_routes;
    bool m_stalled = false;
};

QByteArray pngOfSize(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

struct Added {
    std::shared_ptr<Info2Item> entry;
    Info2Item* folder = nullptr;
};

class AddEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                       PassFile::AuthenticationType::Password, false);
        work = Info2Item::createFolder(QStringLiteral("Work"));
        mail = Info2Item::createFolder(QStringLiteral("Mail"));
        auto trash = Info2Item::createFolder(QStringLiteral("Gone"));
        trash->isDeleted = true;
        work->addSubItem(mail);
        work->addSubItem(Info2Item::create(Info2Item::TypePassword, QStringLiteral("entry")));
        file.addItem(work);
        file.addItem(trash);
        ASSERT_TRUE(server.listen());
    }

    std::unique_ptr<WebSocketAddEntryViewController> make(QNetworkAccessManager* net = nullptr) {
        WebSocketAddEntryViewController::Hooks hooks;
        hooks.addItem = [this](std::shared_ptr<Info2Item> entry, Info2Item& folder) {
            folder.addSubItem(entry);
            added.append({std::move(entry), &folder});
        };
        hooks.save = [this] {
            ++saves;
            if (saveFails) {
                throw CommonException(QStringLiteral("disk full"));
            }
        };
        hooks.showStatus = [this](const UiText& text) { statuses.append(text.value()); };
        hooks.close = [this] { ++closes; };
        auto controller =
            std::make_unique<WebSocketAddEntryViewController>(file, presenter, clock, hooks, net);
        controller->setIconTimeoutMs(5'000);
        return controller;
    }

    SocketXMLForm form(const QString& user, const QString& password) {
        SocketXMLForm f;
        SocketXMLElement u;
        u.type = QStringLiteral("text");
        u.stringValue = user;
        SocketXMLElement p;
        p.type = QStringLiteral("password");
        p.stringValue = password;
        f.subElements = {p, u};
        return f;
    }

    bool waitForClose() {
        return QTest::qWaitFor([this] { return closes > 0; }, 10'000);
    }

    PassFile file;
    std::shared_ptr<Info2Item> work;
    std::shared_ptr<Info2Item> mail;
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    FakeClock clock;
    QNetworkAccessManager network;
    IconHttpServer server;
    QList<Added> added;
    QStringList statuses;
    int saves = 0;
    int closes = 0;
    bool saveFails = false;
};

TEST_F(AddEntryTest, ConfigurePresetsFieldsAndPreselectsTheMainViewsFolder) {
    auto c = make();
    c->configure(QStringLiteral("Mail login"), QStringLiteral("https://mail.example/"),
                 form(QStringLiteral("ann"), QStringLiteral("pw")), mail.get());
    EXPECT_EQ(c->descriptionField, QStringLiteral("Mail login"));
    EXPECT_EQ(c->urlField, QStringLiteral("https://mail.example/"));
    EXPECT_EQ(c->usernameField, QStringLiteral("ann"));
    EXPECT_EQ(c->passwordField, QStringLiteral("pw"));
    ASSERT_EQ(c->folderPopup.size(), 3);
    EXPECT_EQ(c->folderPopup[0].folder, &file.root());
    EXPECT_EQ(c->folderPopup[1].folder, work.get());
    EXPECT_EQ(c->folderPopup[2].folder, mail.get());
    EXPECT_EQ(c->folderPopup[2].depth, 2);
    EXPECT_EQ(c->selectedFolderIndex, 2);

    c->configure(QStringLiteral("T"), QString(), std::nullopt, nullptr);
    EXPECT_EQ(c->usernameField, QString());
    EXPECT_EQ(c->passwordField, QString());
    EXPECT_EQ(c->selectedFolderIndex, 0);
}

TEST_F(AddEntryTest, AddWithoutUrlAddsAtOnceWithEverySetting) {
    auto c = make(&network);
    c->configure(QStringLiteral("Router"), QString(),
                 form(QStringLiteral("admin"), QStringLiteral("pw")), work.get());
    c->viewDidLoad();
    clock.advance(1'000);
    c->onAdd();
    ASSERT_EQ(added.size(), 1);
    const auto& e = *added[0].entry;
    EXPECT_EQ(added[0].folder, work.get());
    EXPECT_EQ(e.description(), QStringLiteral("Router"));
    EXPECT_EQ(e.userName(), QStringLiteral("admin"));
    EXPECT_EQ(e.password(), QStringLiteral("pw"));
    EXPECT_EQ(e.url(), QString());
    EXPECT_EQ(e.additionalUrls(), QStringList{QStringLiteral("*")});
    EXPECT_EQ(e.autoTypeTemplate(), QStringLiteral("<USER><TAB><PASS><ENTER>"));
    EXPECT_DOUBLE_EQ(e.lastModified, DateTimeHelper::toDelphiTime(clock.now()));
    EXPECT_FALSE(e.icon.custom);
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("Downloading icon from the website"),
                                     QStringLiteral("app_name")}));
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(clock.pendingCount(), 0);
    EXPECT_TRUE(server.requestedPaths().isEmpty());
    // A closed dialog does nothing more.
    c->onAdd();
    c->onIgnore();
    EXPECT_EQ(added.size(), 1);
    EXPECT_EQ(closes, 1);
}

TEST_F(AddEntryTest, WithoutCreateRightsWarnsClosesAndCreatesNothing) {
    file.krServer = QStringLiteral("ent.example");
    file.userRights = 0;
    presenter.answerAlert(0);
    auto c = make(&network);
    c->configure(QStringLiteral("T"), server.url(), std::nullopt, nullptr);
    c->onAdd();
    EXPECT_EQ(
        presenter.transcript(),
        QStringList{QStringLiteral("alert warning dialog_error/error_no_rights_to_create []")});
    EXPECT_TRUE(added.isEmpty());
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(file.root().countWithDescendants(), 5u);
    EXPECT_TRUE(server.requestedPaths().isEmpty());
}

TEST_F(AddEntryTest, FetchesThePreferredIconAsA40PixelPng) {
    server.serve("/login?next=1", "text/html",
                 "<html><head><LINK rel='shortcut icon' href='/favicon.ico'>"
                 "<link rel=\"icon\" sizes=\"16x16\" href=\"/small.png\">"
                 "<link href=\"icons/big.png\" rel=\"apple-touch-icon\" sizes=\"64x64\">"
                 "<link rel=\"stylesheet\" href=\"/style.css\"></head></html>");
    server.serve("/icons/big.png", "image/png", pngOfSize(64, 64));
    auto c = make(&network);
    c->configure(QStringLiteral("Site"), server.url(QStringLiteral("/login?next=1")), std::nullopt,
                 nullptr);
    c->onAdd();
    EXPECT_TRUE(c->isAdding());
    EXPECT_TRUE(added.isEmpty());
    ASSERT_TRUE(waitForClose());
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(added[0].folder, &file.root());
    EXPECT_EQ(added[0].entry->additionalUrls(),
              QStringList{
                  QStringLiteral("127.0.0.1:%1*").arg(server.url().section(':', 2, 2).chopped(1))});
    ASSERT_TRUE(added[0].entry->icon.custom);
    QImage icon;
    ASSERT_TRUE(icon.loadFromData(added[0].entry->icon.image, "PNG"));
    EXPECT_EQ(icon.size(), QSize(40, 40));
    EXPECT_EQ(server.requestedPaths(), (QList<QByteArray>{"/login?next=1", "/icons/big.png"}));
    EXPECT_EQ(statuses.last(), QStringLiteral("app_name"));
    EXPECT_EQ(clock.pendingCount(), 0);
}

TEST_F(AddEntryTest, MissingIconStillAddsTheEntry) {
    // No route at all: the page and /favicon.ico both answer 404.
    auto c = make(&network);
    c->configure(QStringLiteral("Site"), server.url(QStringLiteral("/a/b")), std::nullopt, nullptr);
    c->onAdd();
    ASSERT_TRUE(waitForClose());
    ASSERT_EQ(added.size(), 1);
    EXPECT_FALSE(added[0].entry->icon.custom);
    EXPECT_EQ(server.requestedPaths(), (QList<QByteArray>{"/a/b", "/favicon.ico"}));
}

TEST_F(AddEntryTest, SilentSiteIsGivenUpAfterTheTimeoutAndTheEntryIsAdded) {
    server.stall();
    auto c = make(&network);
    c->configure(QStringLiteral("Site"), server.url(), std::nullopt, nullptr);
    c->viewDidLoad();
    c->onAdd();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !server.requestedPaths().isEmpty(); }, 10'000));
    // The minute no longer runs while the entry waits for its icon.
    clock.advance(4'999);
    EXPECT_TRUE(added.isEmpty());
    EXPECT_EQ(closes, 0);
    clock.advance(1);
    ASSERT_EQ(added.size(), 1);
    EXPECT_FALSE(added[0].entry->icon.custom);
    EXPECT_EQ(closes, 1);
    clock.advance(60'000);
    EXPECT_EQ(closes, 1);
}

TEST_F(AddEntryTest, DestroyedWhileWaitingForTheIconStillAddsTheEntry) {
    server.stall();
    auto c = make(&network);
    c->configure(QStringLiteral("Site"), server.url(), std::nullopt, nullptr);
    c->onAdd();
    c->onCancel(); // no effect while adding
    EXPECT_EQ(closes, 0);
    c.reset();
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(clock.pendingCount(), 0);
}

TEST_F(AddEntryTest, IgnoreRemembersTheUrlAndSavesIgnoringFailure) {
    saveFails = true;
    auto c = make();
    c->configure(QStringLiteral("T"), QStringLiteral("https://x.example/?a"), std::nullopt,
                 nullptr);
    c->onIgnore();
    EXPECT_EQ(file.ignoredUrls(), QStringList{QStringLiteral("https://x.example/?a")});
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(added.isEmpty());
}

TEST_F(AddEntryTest, CancelAndTheIdleMinuteStoreNothing) {
    auto c = make();
    c->configure(QStringLiteral("T"), QStringLiteral("https://x.example/"), std::nullopt, nullptr);
    c->viewDidLoad();
    clock.advance(59'999);
    EXPECT_FALSE(c->isClosed());
    clock.advance(1);
    EXPECT_TRUE(c->isClosed());
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(added.isEmpty());
    EXPECT_TRUE(file.ignoredUrls().isEmpty());
    EXPECT_EQ(saves, 0);

    auto other = make();
    other->viewDidLoad();
    other->onCancel();
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(clock.pendingCount(), 0);
}

struct HostCase {
    const char* label;
    QString url;
    QString additional;
};

class AdditionalUrl : public ::testing::TestWithParam<HostCase> {};

TEST_P(AdditionalUrl, IsTheHostPartWithAnAsterisk) {
    EXPECT_EQ(WebSocketAddEntryViewController::additionalUrlFor(GetParam().url),
              GetParam().additional);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, AdditionalUrl,
    ::testing::Values(
        HostCase{"schemePortPathQuery", QStringLiteral("https://shop.example:8443/cart/x?id=1"),
                 QStringLiteral("shop.example:8443*")},
        HostCase{"noScheme", QStringLiteral("shop.example/login"), QStringLiteral("shop.example*")},
        HostCase{"queryBeforePath", QStringLiteral("https://a.example?x=/y"),
                 QStringLiteral("a.example*")},
        HostCase{"onlyFirstDoubleSlash", QStringLiteral("a//b//c/d"), QStringLiteral("b*")},
        HostCase{"empty", QString(), QStringLiteral("*")}),
    [](const auto& info) { return std::string(info.param.label); });

struct IconLinkCase {
    const char* label;
    QByteArray html;
    QString expected;
};

class PreferredIcon : public ::testing::TestWithParam<IconLinkCase> {};

TEST_P(PreferredIcon, IsChosenFromThePageLinks) {
    EXPECT_EQ(SiteIconFetch::preferredIconUrl(GetParam().html,
                                              QUrl(QStringLiteral("https://s.example/dir/page?q")))
                  .toString(),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PreferredIcon,
    ::testing::Values(
        IconLinkCase{"none", "<html></html>", QStringLiteral("https://s.example/favicon.ico")},
        IconLinkCase{"relative", "<link rel=icon href=i.png>",
                     QStringLiteral("https://s.example/dir/i.png")},
        IconLinkCase{"smallestAtLeast40",
                     "<link rel=icon sizes=192x192 href=/a><link rel=icon sizes=48x48 href=/b>"
                     "<link rel=icon sizes=32x32 href=/c><link rel=icon href=/d>",
                     QStringLiteral("https://s.example/b")},
        IconLinkCase{
            "unsizedBeforeSmaller",
            "<link rel=icon sizes=16x16 href=/small><link rel=\"shortcut icon\" href=/any>",
            QStringLiteral("https://s.example/any")},
        IconLinkCase{
            "largestOfSmaller",
            "<link rel=icon sizes=16x16 href=/s><link rel=icon sizes=\"24x24 32x32\" href=/m>",
            QStringLiteral("https://s.example/m")},
        IconLinkCase{"nonHttpSkipped",
                     "<link rel=icon href=\"javascript:alert(1)\"><link rel=preload href=/x>",
                     QStringLiteral("https://s.example/favicon.ico")},
        IconLinkCase{"entityInHref", "<link rel=icon href=\"/i?a=1&amp;b=2\">",
                     QStringLiteral("https://s.example/i?a=1&b=2")}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SiteIconFetch, ImagesBecome40PixelPngsAndNonImagesNothing) {
    const auto png = SiteIconFetch::toIconPng(pngOfSize(16, 8));
    ASSERT_TRUE(png.has_value());
    QImage image;
    ASSERT_TRUE(image.loadFromData(*png, "PNG"));
    EXPECT_EQ(image.size(), QSize(40, 20));
    EXPECT_FALSE(SiteIconFetch::toIconPng(QByteArray("<html>not an image</html>")).has_value());
    EXPECT_FALSE(SiteIconFetch::toIconPng(QByteArray()).has_value());
}

TEST(SiteIconFetch, AddressWithoutHttpHostFinishesWithNothingFromTheEventLoop) {
    FakeClock clock;
    QNetworkAccessManager network;
    SiteIconFetch fetch(network, clock);
    std::optional<std::optional<QByteArray>> result;
    fetch.start(QStringLiteral("ftp://files.example/"), [&](auto png) { result = png; });
    EXPECT_FALSE(result.has_value());
    ASSERT_TRUE(QTest::qWaitFor([&] { return result.has_value(); }, 5'000));
    EXPECT_FALSE(result->has_value());
    EXPECT_EQ(clock.pendingCount(), 0);
}

} // namespace
} // namespace keskor

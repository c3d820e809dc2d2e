// The window side of the message pump: while the user-interface thread waits on a request,
// timers fire and clicks are handled; once the close sequence has begun, the wait gives up.
// The server on 127.0.0.1 answers only when the test releases it, so nothing depends on
// timing.
#include <QPushButton>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/qt_ui_hooks.h"
#include "http/http_client.h"
#include "http/http_errors.h"
#include "tests/app/qt_test_main.h"

using namespace quavrel;

namespace {

// Accepts one connection, reads the request, and answers "ok" once released (or after a
// long guard time, so a broken pump fails the test instead of hanging it).
class HeldServer {
public:
    HeldServer()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        ::listen(listener_, 1);
        socklen_t len = sizeof(addr);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~HeldServer()
    {
        release();
        thread_.join();
        ::close(listener_);
    }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/slow"; }
    void release() { released_ = true; }

private:
    void serve()
    {
        int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0)
            return;
        char buffer[4096];
        std::string request;
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<size_t>(n));
        }
        auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!released_ && std::chrono::steady_clock::now() < guard)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
        ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::close(client);
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> released_{false};
    std::thread thread_;
};

}  // namespace

class AntiFreezeTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        qtUiHooks().setClosing(false);
    }
    void cleanup()
    {
        qtUiHooks().setClosing(false);
    }

    void hooksKnowTheUiThread()
    {
        QVERIFY(qtUiHooks().isUiThread());
        bool worker = true;
        std::thread([&] { worker = qtUiHooks().isUiThread(); }).join();
        QVERIFY(!worker);
    }

    // The server answers only after a timer has ticked and a button has been clicked, both
    // of which need the pump to run while the request waits.
    void timersAndClicksRunDuringRequest()
    {
        HeldServer server;
        QPushButton button(QStringLiteral("stop"));
        button.show();
        QVERIFY(QTest::qWaitForWindowExposed(&button));
        int ticks = 0;
        bool clicked = false;
        QTimer timer;
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (++ticks == 3)
                QMetaObject::invokeMethod(&button, "click", Qt::QueuedConnection);
        });
        QObject::connect(&button, &QPushButton::clicked, [&] {
            clicked = true;
            server.release();
        });
        timer.start();

        TIdHTTP http;
        const std::string body = http.GetText(server.url());
        timer.stop();
        QVERIFY(clicked);
        QVERIFY(ticks >= 3);
        QCOMPARE(QByteArray::fromStdString(body), QByteArray("ok"));
    }

    void closingEndsTheWait()
    {
        HeldServer server;
        QTimer::singleShot(10, [] { qtUiHooks().setClosing(true); });
        TIdHTTP http;
        bool aborted = false;
        try {
            http.GetText(server.url());
        } catch (const EIdAborted&) {
            aborted = true;
        }
        QVERIFY(aborted);
    }
};

QUAVREL_QTEST_MAIN(AntiFreezeTest)
#include "anti_freeze_test.moc"

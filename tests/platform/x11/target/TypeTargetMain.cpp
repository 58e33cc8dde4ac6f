// A log-in form of "another application" for the auto-complete test: three fields in tab
// order. It says "ready" once its window has the focus, and on Enter prints the fields as one
// JSON line and ends.
#include <QApplication>
#include <QFormLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    auto* form = new QFormLayout(&window);
    QLineEdit* fields[3];
    const char* names[3] = {"user", "pass", "pin"};
    for (int i = 0; i < 3; ++i) {
        fields[i] = new QLineEdit(&window);
        form->addRow(QString::fromLatin1(names[i]), fields[i]);
        // Something to clear, as a form remembering an earlier user name would have.
        fields[i]->setText(QStringLiteral("old"));
        QObject::connect(fields[i], &QLineEdit::returnPressed, &app, [&] {
            QJsonObject out;
            for (int k = 0; k < 3; ++k) {
                out[QString::fromLatin1(names[k])] = fields[k]->text();
            }
            std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Compact).constData());
            std::fflush(stdout);
            app.quit();
        });
    }
    window.show();
    fields[0]->setFocus();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        window.activateWindow();
        if (QApplication::focusWidget() == fields[0] && window.isActiveWindow()) {
            poll.stop();
            std::printf("ready\n");
            std::fflush(stdout);
        }
    });
    poll.start(100);
    return app.exec();
}

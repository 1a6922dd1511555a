#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

// Which program instance a start belongs to, and how a later start reaches the running one.
namespace Instance {

// The instance's name: the fixed key for the default data folder, the key and a digest of the folder for any other,
// so that a demo with a data folder of its own runs beside the user's program.
QString name(const QString &dataFolder);
// Where the running instance named name listens for later starts.
QString socketPath(const QString &name);

// What the running instance made of a later start.
enum class Answer { Shown, HasTray, NoAnswer };
// Asks the instance listening at path to show itself; waits at most timeoutMs.
Answer askToShow(const QString &path, int timeoutMs = 3000);

} // namespace Instance

// Listens for later starts of the program; show() opens a window for them and says whether it did.
class InstanceServer : public QObject
{
    Q_OBJECT

public:
    InstanceServer(const QString &path, std::function<bool()> show, QObject *parent = nullptr);
    bool isListening() const;

private:
    void onConnection();

    QLocalServer *server;
    std::function<bool()> show;
};

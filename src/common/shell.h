#pragma once
// The desktop shell: opening files and addresses with their default handler
// and starting other programs. Tests install a hook that records the requests
// instead of carrying them out.
#include <QString>
#include <QStringList>
#include <functional>

class QUrl;

namespace qm::shell {
// Opens an address (http:, mailto:, file:) with the desktop's handler.
bool openUrl(const QUrl& url);
// Opens a local file with the desktop's default handler.
bool openFile(const QString& path);
// Starts a program detached from this one.
bool startDetached(const QString& program, const QStringList& args = {});
// The full path of the first of the programs found on the PATH, else empty.
QString findProgram(const QStringList& candidates);

// Test hook: receives ("url"|"file"|"start", target) and returns the result;
// while set, nothing is really opened or started.
using Hook = std::function<bool(const QString& action, const QString& target)>;
void setHook(Hook h);
}

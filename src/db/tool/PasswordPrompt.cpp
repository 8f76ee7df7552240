#include "PasswordPrompt.h"

#include <cstdio>
#include <string>

#include <termios.h>
#include <unistd.h>

namespace VexDb {

namespace {

bool readLine(std::string *line)
{
    line->clear();
    int c = 0;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line->push_back(char(c));
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return c != EOF || !line->empty();
}

// Echo is restored even when reading fails.
class EchoOff final
{
public:
    EchoOff()
    {
        m_ok = ::tcgetattr(STDIN_FILENO, &m_saved) == 0;
        if (!m_ok)
            return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        m_ok = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff()
    {
        if (m_ok)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff &) = delete;
    EchoOff &operator=(const EchoOff &) = delete;

private:
    termios m_saved {};
    bool m_ok = false;
};

bool prompt(const char *text, std::string *line)
{
    std::fputs(text, stderr);
    std::fflush(stderr);
    bool ok = false;
    {
        EchoOff quiet;
        ok = readLine(line);
    }
    std::fputs("\n", stderr);
    return ok;
}

} // namespace

bool readPassword(bool confirm, QByteArray *password, QString *error)
{
    std::string first;
    if (!::isatty(STDIN_FILENO)) {
        if (!readLine(&first)) {
            *error = QStringLiteral("no password on standard input");
            return false;
        }
        *password = QByteArray::fromStdString(first);
        return true;
    }
    if (!prompt("Password: ", &first)) {
        *error = QStringLiteral("no password entered");
        return false;
    }
    if (confirm) {
        std::string second;
        if (!prompt("Repeat password: ", &second) || second != first) {
            *error = QStringLiteral("the two passwords differ");
            return false;
        }
    }
    *password = QByteArray::fromStdString(first);
    return true;
}

} // namespace VexDb

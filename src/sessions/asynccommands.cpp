#include "sessions/asynccommands.h"

namespace Orvexsystem {
namespace AsyncCommands {

QByteArray start()
{
    return QByteArray(":XP00A\r", 7) + char(0);
}

QByteArray messageWaiting(quint16 address, quint8 index)
{
    QByteArray command(":XP00B\r", 7);
    command.append(char(3));
    command.append(char(address >> 8));
    command.append(char(address & 0xFF));
    command.append(char(index));
    return command;
}

QByteArray dataFragment(quint8 index, quint8 number, quint8 count, const QByteArray &fragment)
{
    QByteArray command(":XP00C\r", 7);
    command.reserve(int(command.size()) + 4 + int(fragment.size()));
    command.append(char(fragment.size() + 3));
    command.append(char(index));
    command.append(char(number));
    command.append(char(count));
    command.append(fragment);
    return command;
}

} // namespace AsyncCommands
} // namespace Orvexsystem

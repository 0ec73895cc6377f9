// orvexctl: a command-line tool for classroom hubs and handsets, on the
// public interface of orvexsystem1.
#ifndef ORVEXCTL_ORVEXCTL_H
#define ORVEXCTL_ORVEXCTL_H

namespace Orvexctl {

// Runs the command line; the result is the process's exit code. Makes the
// QCoreApplication itself.
int run(int argc, char **argv);

} // namespace Orvexctl

#endif

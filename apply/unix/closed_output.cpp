// A deployment tool that stops reading (velloran-apply ... | head -1) must
// not end the run: the report is a courtesy, the configuration is the job.
#include "apply.h"

#include <csignal>

void IgnoreClosedOutput(void)
{
    std::signal(SIGPIPE, SIG_IGN);
}

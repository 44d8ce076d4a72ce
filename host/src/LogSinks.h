#ifndef HOST_SRC_LOGSINKS_H
#define HOST_SRC_LOGSINKS_H

class LogCapture;

namespace nuvrixhost {

// The logger's list of capture sinks; LogCapture enrols itself for its
// lifetime.
void addCapture(LogCapture* capture);
void removeCapture(LogCapture* capture);

}  // namespace nuvrixhost

#endif

#ifndef CONFIGSERVICE_EXPORT_H
#define CONFIGSERVICE_EXPORT_H

// Marks the classes and functions that the configuration service plug-in
// exports: the entry point and the store classes that other components of
// the client construct or implement. Everything else is hidden.
#define CONFIGSERVICE_API __attribute__((visibility("default")))

#endif

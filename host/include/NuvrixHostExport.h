#ifndef NUVRIX_HOST_EXPORT_H
#define NUVRIX_HOST_EXPORT_H

// Marks what the host platform library exports. Everything else is hidden.
// Interfaces shared with plug-ins carry it too, so that their type
// information is one object across the library boundary and dynamic_cast
// between host and plug-in works.
#define NUVRIX_HOST_API __attribute__((visibility("default")))

#endif

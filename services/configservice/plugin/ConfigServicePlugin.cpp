// The plug-in shared library is the configuration service's object code linked
// whole; the exported entry point lives with the service implementation.

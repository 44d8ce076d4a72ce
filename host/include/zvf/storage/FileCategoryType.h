#ifndef ZVF_STORAGE_FILECATEGORYTYPE_H
#define ZVF_STORAGE_FILECATEGORYTYPE_H

namespace FileCategoryType {
// The category a file is stored under; part of the authenticated header, so
// a file can only be read back under the category it was written with.
enum FileCategory {
    General = 0,        // URL-provisioning cache
    UserData = 1,
    Configuration = 2,  // configuration and cache files
};
}  // namespace FileCategoryType

#endif

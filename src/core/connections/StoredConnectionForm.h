#pragma once

#include "platform/SettingsFileStore.h"
#include "util/List.h"

#include <vector>

namespace quillcast {

// How the connection list lies in the settings file: one group per
// connection, in the list's order, under the list's key, each value in text
// a person can read and edit (numbers as numbers, the encrypted password and
// its salt and IV in Base64, a keyring reference as it is):
//
//     [connectionArray]
//     1\mailServerDescription=Office
//     1\mailServerName=smtp.example.org
//     1\port=587
//     ...
//     size=1
//
// (QSettings' own form of an array.) Earlier builds kept the whole list as
// one binary value under the same key; it is still read, and the next write
// replaces it.
class StoredConnectionForm
{
public:
    struct Stored
    {
        List connections;
        bool inOneValue = false; // in the binary form of earlier builds
    };

    static Stored read(const SettingsFileStore &store);
    // The changes that store the list, replacing whichever form is there.
    static std::vector<SettingsFileStore::Change> changes(const List &connections);
};

} // namespace quillcast

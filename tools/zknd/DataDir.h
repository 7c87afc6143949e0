#pragma once

// The data directory zknd works on, registered as the host's, and the paths
// it shows: the folder as the user typed it, joined with the part of the
// library's own path below the data directory.

#include <filesystem>
#include <string>

#include "platform/CString.h"

namespace zknd {

class Output;

class DataDir {
public:
    // Registers a host application object answering the folder given (UTF-8).
    // False, with the reason, when it is not a folder, or when the library's
    // managers were already set up for another one in this process.
    bool Attach(const std::string& strGiven, std::string& strError);
    // Attach, saying why not on standard error.
    bool AttachOrTell(const std::string& strGiven, Output& out);

    const std::string& Given() const { return m_strGiven; }
    // A path of the library's form under the data directory, for showing.
    std::string Show(const CString& strLibraryPath) const;
    // The part of such a path below the data directory, e.g.
    // "Data\NodeDetail\...\NodeDetailDataEx.xml"; the path itself when it
    // is not below it.
    CString Below(const CString& strLibraryPath) const;
    // The same path as the system takes it.
    static std::filesystem::path Native(const CString& strLibraryPath);
    // The node-detail library's folder, where its drawings and slides lie, in
    // the library's form ending with '\'.
    static CString ResourceFolder();

private:
    std::string m_strGiven;
    CString m_strLibrary;  // absolute, in the library's form, ending with '\'
};

}  // namespace zknd

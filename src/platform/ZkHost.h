#pragma once

// Stand-in for the host product's services: the host application object that
// answers the data directory, and the helpers the records call.

#include "platform/CString.h"
#include "platform/ZkExport.h"
#include "platform/stu3Value.h"

// The host application object. The embedding program (or a test) registers
// one before the library managers are first used; they fetch the directory
// once, when they are constructed.
class ZKND_API IZkHostApplication {
public:
    virtual ~IZkHostApplication();
    // The product data directory, ending with a backslash.
    virtual ZkNd::CString GetProductDataDirectory() const = 0;
};

// Registers the host application object (not owned; null unregisters). It
// must stay alive while registered: copying a node detail asks it again.
// Without one the library uses the current working directory.
ZKND_API void ZkSetHostApplication(IZkHostApplication* pApp);
// The registered object, or null.
ZKND_API IZkHostApplication* ZkGetHostApplication();

// True when the path names an existing file (not a folder).
ZKND_API bool ZkIsFileExist(const wchar_t* pszPath);

// True when the text is a decimal number: an optional sign, digits with an
// optional fraction, at least one digit, nothing else. Runs of digits always
// pass, runs of letters or of punctuation never do. Never allocates.
ZKND_API bool ZkIsNumericText(const wchar_t* psz);

// Three reals as text ("x,y,z", shortest form that reads back bit-exact).
ZKND_API ZkNd::CString ZkU3ValueToText(const stu3Value& val);
// Reads such a text; the value is left unchanged unless all three parse.
ZKND_API void ZkTextToU3Value(const wchar_t* psz, stu3Value& val);

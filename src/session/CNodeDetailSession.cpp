#include "session/CNodeDetailSession.h"

CNodeDetailSession::CNodeDetailSession() = default;
CNodeDetailSession::~CNodeDetailSession() = default;

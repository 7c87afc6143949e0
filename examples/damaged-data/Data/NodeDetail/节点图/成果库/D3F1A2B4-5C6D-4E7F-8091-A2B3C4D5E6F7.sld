slide of a deleted node detail

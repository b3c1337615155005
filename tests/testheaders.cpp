// Compiled only to make the precompiled header the tests share.

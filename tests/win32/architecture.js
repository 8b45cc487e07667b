// Which architecture the script host runs as: "x86" in a 32-bit process on
// 64-bit Windows, "AMD64" in a 64-bit one.
WScript.Echo(new ActiveXObject("WScript.Shell").Environment("Process")("PROCESSOR_ARCHITECTURE"));

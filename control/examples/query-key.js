// What a bank page's script sees of the key through the control.
//   cscript //nologo query-key.js
try {
  var key = new ActiveXObject("Kestrine.Kestrine.1");
  var states = {1: "device library missing", 2: "no key", 3: "one key", 4: "several keys"};
  var state = key.GetUsbkeyState();
  WScript.Echo("key state       " + state + " (" + states[state] + ")");
  WScript.Echo("keys present    " + key.GetDeviceCount());
  if (state >= 3) {
    WScript.Echo("serial number   " + key.GetUsbkeySN());
    WScript.Echo("PIN tries left  " + key.esKeyGetPinRetryCount());
    WScript.Echo("certificate     " + key.esKeyGetCertCN());
    WScript.Echo("  serial        " + key.GetCertSn());
    WScript.Echo("  valid from    " + key.GetCertBeginDate());
    WScript.Echo("  valid to      " + key.GetCertEndDate());
  }
  WScript.Echo("provider        " + key.getCSP());
} catch (e) {
  WScript.Echo("the control is not available: " + e.message);
}

// What a bank page's script sees of the key through the control.
//   cscript //nologo query-key.js
// Every page may read all of this. KeyInit, esKeyUnblockUsrPin and
// esKeyCheckUserPin are served only to the bank's sites (IDS_IESET_TRUST of
// RVControl.ini beside the control) and to programs, a script run by
// cscript among them; a refused call gives 1003, and so does esgetErrorCode.
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

' Creates the host's error object by its ProgID and uses its properties by name.
Option Explicit
Dim finding
Set finding = CreateObject("KVStMgr.KVStError")
finding.EntryName = "Layer 7"
finding.KindLabel = "kind"
WScript.Echo "EntryName=" & finding.EntryName
WScript.Echo "KindLabel=" & finding.KindLabel
WScript.Echo "Empty=[" & CreateObject("KVStMgr.KVStError").EntryName & "]"

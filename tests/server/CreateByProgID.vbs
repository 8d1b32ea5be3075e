' Creates the registered plug-in by its ProgID, as a script host does, and reads properties of
' its default interface by name.
Option Explicit
Dim plugin, files
Set plugin = CreateObject("KVStVB7Default.KVStPluginDefault")
WScript.Echo "Version=" & plugin.IKVStPlugin_Version
WScript.Echo "Icon=" & plugin.IKVStPlugin_Icon
files = plugin.IKVStPlugin_StandardFiles
WScript.Echo "StandardFiles=" & files(0)

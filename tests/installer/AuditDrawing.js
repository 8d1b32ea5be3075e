// A script host's audit: creates the installed plug-in by its ProgID and audits a drawing made of
// script objects through it, late-bound as a host does. Prints the module the host loaded, then
// each finding as its kind label (escaped, so that any console code page shows it) and name.
// JScript rather than VBScript: the plug-in reads the drawing through IDispatch::GetIDsOfNames,
// which this Wine's VBScript objects do not answer. The collections are dictionaries whose keys
// are the entries, since a dictionary enumerates its keys; members are functions, because a host
// asks for property-or-method and JScript then calls the value.
function entry(name) {
    return { Name: function () { return name; } };
}
function collection(names) {
    var entries = new ActiveXObject("Scripting.Dictionary");
    for (var i = 0; i < names.length; ++i) entries.Add(entry(names[i]), null);
    return function () { return entries; };
}
var drawing = {
    Layers: collection(["0", "A-WALL", "A-WALL-OLD"]),
    Linetypes: collection(["Continuous", "HIDDEN2"]),
    TextStyles: collection(["Standard", "Title"]),
    DimStyles: collection(["ISO-25"])
};
var plugin = new ActiveXObject("KVStVB7Default.KVStPluginDefault");
WScript.Echo("module=" + plugin.IKVStPlugin_Path);
plugin.IKVStPlugin_SetupForAudit(drawing, "script drawing");
while (plugin.IKVStPlugin_CheckNext()) {
    var finding = plugin.IKVStPlugin_GetError();
    WScript.Echo("finding=" + escape(finding.KindLabel) + " " + finding.EntryName);
}
plugin.IKVStPlugin_Clear();
WScript.Echo("done");

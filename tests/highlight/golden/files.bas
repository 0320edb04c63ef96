Dim fso, folder, file, total
Set fso = CreateObject("Scripting.FileSystemObject")
Set folder = fso.GetFolder(".")
total = 0
For Each file In folder.Files
    total = total + file.Size   ' bytes
    If LCase(fso.GetExtensionName(file.Name)) = "log" Then
        WScript.Echo file.Name, FormatNumber(file.Size / 1024, 1), "KB"
    End If
Next
WScript.Echo "Total:", total, "bytes"
Set fso = Nothing

' inventory.bas - counts the items in a list and reports the low ones
Option Explicit

Const LOW_STOCK = 5
Dim items, counts, i, report

items = Array("bolts", "nuts", "washers", "screws")
counts = Array(120, 3, 48, 0)

Function Describe(name, count)
    If count = 0 Then
        Describe = name & ": none left"
    ElseIf count < LOW_STOCK Then
        Describe = name & ": only " & CStr(count)
    Else
        Describe = name & ": " & count
    End If
End Function

report = ""
For i = LBound(items) To UBound(items)
    If counts(i) < LOW_STOCK Then
        report = report & Describe(items(i), counts(i)) & vbCrLf
    End If
Next

If Len(report) > 0 Then
    MsgBox "Order soon:" & vbCrLf & report, vbExclamation, "Stock"
Else
    WScript.Echo "Stock is fine."
End If
REM done

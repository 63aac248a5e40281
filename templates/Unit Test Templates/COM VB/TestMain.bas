Attribute VB_Name = "<test_name><index>Main"
'----------------------------------------------------------------------
' Entry point of the unit test of <class_name>::<operation_name>.
' The datapool's name and configuration are compiled into the project's
' resource file (<test_name><index>.res, string ids 61000 to 64004); the
' test runtime opens the datapool from them and runs the test once per row.
'   datapool      <datapool_name>
'   author        <author_name>
'   generated     <generation_date>
'----------------------------------------------------------------------
Option Explicit

Public Const KTS_LOG_RESULT_PASS = 0
Public Const KTS_LOG_RESULT_FAIL = 1

Private Const DATAPOOL_NAME_ID = 61000
Private Const DATAPOOL_CONFIG_ID = 62000

Sub Main()
    Dim runtime As Object
    Dim dp As Object
    Dim Log As Object
    Dim test As <test_name><index>

    Set runtime = CreateObject("ZTUnitTest.Runtime")
    Set Log = runtime.OpenLog("<test_name><index>")
    Set dp = runtime.OpenDatapool(LoadResString(DATAPOOL_NAME_ID), LoadResString(DATAPOOL_CONFIG_ID))
    Set test = New <test_name><index>

    Do While dp.Fetch
        test.RunTest dp, Log
    Loop

    dp.Close
    Log.Close
    Set test = Nothing
End Sub

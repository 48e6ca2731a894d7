<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Agent</name>
    <message>
        <source>Print Successful</source>
        <translation>打印成功</translation>
    </message>
    <message>
        <source>%1 printed successfully
Please take them away timely</source>
        <translation>%1 打印成功
请及时取走</translation>
    </message>
    <message>
        <source>Cloud Print</source>
        <translation>云打印</translation>
    </message>
    <message>
        <source>Print jobs is canceled %1</source>
        <translation>打印任务已取消 %1</translation>
    </message>
    <message>
        <source>Print Failed</source>
        <translation>打印失败</translation>
    </message>
    <message>
        <source>Print jobs are terminated, please contact the admin</source>
        <translation>打印任务已终止，请联系管理员</translation>
    </message>
</context>
<context>
    <name>AuthcodeInputDialog</name>
    <message>
        <source>Please input a new authorization code</source>
        <translation>请输入新的授权码</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>打印</translation>
    </message>
    <message>
        <source>The authorization code of cloud print server (%1) has been updated</source>
        <translation>云打印服务器（%1）的授权码已更新</translation>
    </message>
</context>
</TS>

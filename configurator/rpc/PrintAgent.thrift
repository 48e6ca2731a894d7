// Services of the print agent side; declared so the generated types match the server's.

include "Print.thrift"

namespace cpp cloudprint

const i32 PRINT_AGENT_PORT = 9002
const i32 PRINT_NOTIFY_PORT = 9003

service PrinterAgent {
    Print.Printer DefaultPrinter() throws (1: Print.Exception err),
    list<Print.Printer> ListPrinter() throws (1: Print.Exception err),
    Print.Printer GetServerPrinter(1: string printer) throws (1: Print.Exception err),
    list<Print.Job> ListJob(1: string printer) throws (1: Print.Exception err),
    string StartJob(1: string printer, 2: string filePath, 3: Print.Option options) throws (1: Print.Exception err),
    Print.Job GetServerJob(1: string printer, 2: string jobID) throws (1: Print.Exception err),
    void ControlJob(1: string printer, 2: string jobID, 3: Print.JobCommand cmd) throws (1: Print.Exception err),
    string GetPpdDrv(1: string printer) throws (1: Print.Exception err)
}

service PrinterNotify {
    void NotifyAddJob(1: string jobID, 2: Print.Job job) throws (1: Print.Exception err),
    void NotifyChangeJob(1: string jobID, 2: Print.Job job) throws (1: Print.Exception err),
    void NotifyDeleteJob(1: string jobID, 2: Print.Job job) throws (1: Print.Exception err)
}

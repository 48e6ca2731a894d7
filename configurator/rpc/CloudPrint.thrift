// The service a cloud print server offers to desktop clients.

include "Print.thrift"

namespace cpp cloudprint

// Port of a cloud print server when its address names none.
const i32 CLOUD_PRINT_PORT = 9100

service CloudPrint {
    bool Verfiy(1: Print.Auth auth) throws (1: Print.Exception err),
    Print.Printer DefaultPrinter(1: Print.Auth auth) throws (1: Print.Exception err),
    list<Print.Printer> ListPrinter(1: Print.Auth auth) throws (1: Print.Exception err),
    Print.Printer GetServerPrinter(1: Print.Auth auth, 2: string printer) throws (1: Print.Exception err),
    list<Print.Job> ListJobs(1: Print.Auth auth, 2: Print.Printer printer) throws (1: Print.Exception err),
    string CreateJob(1: Print.Auth auth, 2: Print.Printer printer, 3: string title, 4: Print.Option options)
        throws (1: Print.Exception err),
    void WriteJob(1: Print.Auth auth, 2: Print.Printer printer, 3: string jobID, 4: i32 seq, 5: string data)
        throws (1: Print.Exception err),
    void FinishJob(1: Print.Auth auth, 2: Print.Printer printer, 3: string jobID) throws (1: Print.Exception err),
    void CancelJob(1: Print.Auth auth, 2: Print.Printer printer, 3: string jobId) throws (1: Print.Exception err),
    Print.Job GetServerJob(1: Print.Auth auth, 2: Print.Printer printer, 3: string jobId)
        throws (1: Print.Exception err),
    void SetServerJob(1: Print.Auth auth, 2: Print.Printer printer, 3: string JobId, 4: Print.JobCommand cmd)
        throws (1: Print.Exception err),
    string GetServerVersion(1: Print.Auth auth) throws (1: Print.Exception err),
    // The answer is the text of a PPD compiler driver description.
    string GetPpdDrv(1: Print.Auth auth, 2: Print.Printer printer) throws (1: Print.Exception err)
}

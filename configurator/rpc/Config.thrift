// Remote configuration service of a print server.

namespace cpp config

const i32 CONFIG_PORT = 9004

exception ConfigException {
    1: i32 Code,
    2: string Description
}

service Config {
    map<string, string> GetAll() throws (1: ConfigException err),
    map<string, string> Info() throws (1: ConfigException err),
    void SetAll(1: map<string, string> cfg) throws (1: ConfigException err)
}
